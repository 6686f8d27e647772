#include "report/body_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "report/report_body.h"

namespace {

// The plain-buffer body is byte for byte the string body, whose decoding the
// operator tool's tests prove; every Base64 tail length and an empty report.
TEST(BodyBuffer, SameBytesAsTheStringBody) {
  std::string text;
  for (size_t n :
       {size_t(0), size_t(1), size_t(31), size_t(32), size_t(64), size_t(1000), size_t(128000)}) {
    text.assign(n, '\0');
    for (size_t i = 0; i < n; ++i)
      text[i] = static_cast<char>(i * 7 + n);
    std::string expected;
    ASSERT_TRUE(buildBugReportBody(text.data(), text.size(), &expected));
    size_t length = 0;
    uint8_t* body = buildReportBodyBuffer(text.data(), text.size(), &length);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(body), length), expected) << n;
    delete[] body;
  }
}

}  // namespace
