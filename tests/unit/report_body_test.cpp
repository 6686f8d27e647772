#include "report/report_body.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "crypto/rijndael_cipher.h"
#include "report/report_cipher.h"

namespace {

// Just enough decoding to look inside a body: the form encoding of Base64
// text only ever escapes "+", "/" and "=".
std::vector<uint8_t> unwrapBody(const std::string& body) {
  std::string text = body.substr(5);
  std::string b64;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      b64 += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      b64 += text[i];
    }
  }
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : b64) {
    if (c == '=')
      break;
    acc = (acc << 6) | uint32_t(alphabet.find(c));
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(uint8_t(acc >> bits));
    }
  }
  return out;
}

// Printable text with zero bytes inside, as appended crash files have, and
// no repeated 32-byte blocks (ECB would show them and zlib would squeeze them).
std::string reportText(size_t n) {
  std::string text;
  uint32_t state = 12345;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    text += (i % 97 == 13) ? '\0' : char(' ' + (state >> 16) % 95);
  }
  return text;
}

}  // namespace

TEST(ReportCipherTest, PaddedLengthsAndBlockwiseSealing) {
  const size_t cases[][2] = {{0, 32},  {1, 32},  {31, 32}, {32, 32},
                             {33, 64}, {63, 64}, {64, 96}, {128000, 128032}};
  for (const auto& c : cases) {
    size_t length = 99;
    std::unique_ptr<uint8_t[]> sealed(encryptReport(reportText(c[0]).data(), c[0], &length));
    ASSERT_TRUE(sealed);
    EXPECT_EQ(length, c[1]) << c[0] << " bytes";
    EXPECT_EQ(reportCipherLength(c[0]), c[1]);
  }
  EXPECT_EQ(reportCipherLength(size_t(-1)), 0u);

  // ECB with zero padding: a block depends only on its own bytes, and the
  // last block is the report key's cipher of the zero-padded tail.
  std::string text = reportText(70);
  size_t length = 0;
  std::unique_ptr<uint8_t[]> sealed(encryptReport(text.data(), text.size(), &length));
  ASSERT_EQ(length, 96u);
  uint8_t tail[32] = {};
  memcpy(tail, text.data() + 64, 6);
  RijndaelCipher cipher;
  cipher.initKey("C4e7902bD1A35F86e0B2c7D94A61f3E8", nullptr, 32, 32);
  cipher.encryptBlock(tail, tail);
  EXPECT_EQ(0, memcmp(sealed.get() + 64, tail, 32));
  size_t shortLength = 0;
  std::unique_ptr<uint8_t[]> prefix(encryptReport(text.data(), 64, &shortLength));
  EXPECT_EQ(0, memcmp(sealed.get(), prefix.get(), 64));

  uint8_t small[63];
  EXPECT_EQ(encryptReportInto(text.data(), 33, small, sizeof small), 0u);
}

TEST(ReportBodyTest, Base64AndFormEncoding) {
  const char* rfc4648[][2] = {{"", ""},
                              {"f", "Zg=="},
                              {"fo", "Zm8="},
                              {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="},
                              {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
  for (const auto& v : rfc4648)
    EXPECT_EQ(base64Encode(v[0], strlen(v[0])), v[1]);
  const uint8_t highBits[] = {0xFB, 0xFF, 0xBF};
  EXPECT_EQ(base64Encode(highBits, 3), "+/+/");

  EXPECT_EQ(formEncode("Zg=="), "Zg%3d%3d");
  EXPECT_EQ(formEncode("+/+/"), "%2b%2f%2b%2f");
  EXPECT_EQ(formEncode(std::string("a b\x01\n\x7f\xAB", 7)), "a+b%01%0A%7f%ab");
}

// The whole zlib stream reaches the body: inflating it gives back every byte
// of the sealed report, even though the stream is longer than the ciphertext.
TEST(ReportBodyTest, BodyCarriesTheWholeCompressedReport) {
  for (size_t n : {0u, 64u, 5000u}) {
    std::string text = reportText(n);
    std::string body;
    ASSERT_TRUE(buildBugReportBody(text.data(), text.size(), &body));
    ASSERT_EQ(body.compare(0, 5, "DATA="), 0);
    EXPECT_EQ(body.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789%", 5),
              std::string::npos);

    size_t sealedLength = 0;
    std::unique_ptr<uint8_t[]> sealed(encryptReport(text.data(), text.size(), &sealedLength));
    std::vector<uint8_t> packed = unwrapBody(body);
    EXPECT_GT(packed.size(), sealedLength);
    std::vector<uint8_t> inflated(sealedLength + 1);
    uLongf inflatedLength = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &inflatedLength, packed.data(), packed.size()), Z_OK)
        << n << " bytes";
    ASSERT_EQ(inflatedLength, sealedLength);
    EXPECT_EQ(0, memcmp(inflated.data(), sealed.get(), sealedLength));
  }
}
