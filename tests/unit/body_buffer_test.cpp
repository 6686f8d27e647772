#include "report/body_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "report/report_cipher.h"

// The padded lengths and the sealing itself come back through the report
// tool's decoder tests; here the bounds the tool never sees.
TEST(ReportCipher, PaddedLengthOverflowAndCallersBuffer) {
  EXPECT_EQ(reportCipherLength(32), 32u);
  EXPECT_EQ(reportCipherLength(size_t(-1)), 0u);
  const char text[33] = "0123456789abcdef0123456789abcdef";
  uint8_t out[64];
  EXPECT_EQ(encryptReportInto(text, 33, out, 63), 0u);
  EXPECT_EQ(encryptReportInto(text, 33, out, 64), 64u) << "exact fit";
}

// Every Base64 tail length, "+", "/" and "=" form-encoded.
TEST(BodyBuffer, Base64FormEncodedAfterDataField) {
  const char* cases[][2] = {
      {"", "DATA="},        {"f", "DATA=Zg%3d%3d"},        {"fo", "DATA=Zm8%3d"},
      {"foo", "DATA=Zm9v"}, {"foob", "DATA=Zm9vYg%3d%3d"}, {"\xFB\xFF\xBF", "DATA=%2b%2f%2b%2f"}};
  for (const auto& c : cases) {
    size_t length = 0;
    std::unique_ptr<uint8_t[]> body(
        encodeReportBody(reinterpret_cast<const uint8_t*>(c[0]), strlen(c[0]), &length));
    ASSERT_TRUE(body);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(body.get()), length), c[1]);
  }
}
