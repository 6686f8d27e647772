#include "report/body_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "crypto/rijndael_cipher.h"
#include "report/report_cipher.h"

// Zero padding: one 32-byte block up to 32 bytes, else n / 32 + 1 blocks;
// sealed block by block (ECB).
TEST(ReportCipher, PaddedLengthsAndBlockwiseSealing) {
  const std::string text(128000, 'r');
  const size_t cases[][2] = {{0, 32},  {1, 32},  {31, 32}, {32, 32},
                             {33, 64}, {63, 64}, {64, 96}, {128000, 128032}};
  for (const auto& c : cases) {
    size_t length = 99;
    std::unique_ptr<uint8_t[]> sealed(encryptReport(text.data(), c[0], &length));
    EXPECT_TRUE(sealed && length == c[1] && reportCipherLength(c[0]) == c[1]) << c[0] << " bytes";
  }
  EXPECT_EQ(reportCipherLength(size_t(-1)), 0u);
  // The last block is the report key's cipher of the zero-padded tail alone.
  const std::string seventy = text.substr(0, 64) + "tail70";
  size_t length = 0;
  std::unique_ptr<uint8_t[]> sealed(encryptReport(seventy.data(), 70, &length));
  ASSERT_EQ(length, 96u);
  uint8_t tail[32] = {'t', 'a', 'i', 'l', '7', '0'};
  RijndaelCipher cipher;
  cipher.initKey(kReportKey, nullptr, 32, 32);
  cipher.encryptBlock(tail, tail);
  EXPECT_EQ(0, memcmp(sealed.get() + 64, tail, 32));
  uint8_t out[64];
  EXPECT_EQ(encryptReportInto(seventy.data(), 33, out, 63), 0u);
  EXPECT_EQ(encryptReportInto(seventy.data(), 33, out, 64), 64u) << "exact fit";
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
