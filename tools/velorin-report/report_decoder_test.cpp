#include "tools/velorin-report/report_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "crypto/rijndael_cipher.h"
#include "report/report_body.h"
#include "report/report_cipher.h"
#include "tests/unit/crypto_test_util.h"
#include "tools/velorin-report/rijndael_decipher.h"

namespace {

// Printable text with zero bytes inside (appended crash files carry them);
// the last byte is never zero, since trailing zeros read as padding.
std::string reportText(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string text;
  for (size_t i = 0; i < n; ++i)
    text += (i % 61 == 5 && i + 1 < n) ? '\0' : char(' ' + rng() % 95);
  return text;
}

std::string readFile(const char* path) {
  std::string data;
  FILE* f = fopen(path, "rb");
  if (!f)
    return "(missing)";
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
    data.append(chunk, got);
  fclose(f);
  return data;
}

void writeFile(const char* path, const std::string& data) {
  FILE* f = fopen(path, "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fwrite(data.data(), 1, data.size(), f), data.size());
  fclose(f);
}

// The body as the flawed sender would have built it: the zlib stream cut to
// the length of the ciphertext.
std::string cutBody(const std::string& text) {
  size_t sealedLength = 0;
  std::unique_ptr<uint8_t[]> sealed(encryptReport(text.data(), text.size(), &sealedLength));
  uLongf packedLength = compressBound(uLong(sealedLength));
  std::vector<uint8_t> packed(packedLength);
  compress(packed.data(), &packedLength, sealed.get(), uLong(sealedLength));
  return "DATA=" + formEncode(base64Encode(packed.data(), sealedLength));
}

}  // namespace

TEST(RijndaelDecipherTest, OpensPublishedVectorsAndEveryKeyAndBlockLength) {
  struct {
    const char *key, *plain, *cipher;
  } vectors[] = {
      {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
       "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
      {"2b7e151628aed2a6abf7158809cf4f3c",
       "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
       "7d15479076b69a46ffb3b3beae97ad8313f622f67fedb487de9f06b9ed9c8f19"},
  };
  for (const auto& v : vectors) {
    std::vector<uint8_t> key = fromHex(v.key), block = fromHex(v.cipher);
    RijndaelDecipher decipher;
    ASSERT_TRUE(decipher.initKey(key.data(), int(key.size()), int(block.size())));
    decipher.decryptBlock(block.data(), block.data());
    EXPECT_EQ(toHex(block), v.plain);
  }

  std::mt19937 rng(5);
  for (int keyLength : {16, 24, 32}) {
    for (int blockLength : {16, 24, 32}) {
      for (int trial = 0; trial < 20; ++trial) {
        uint8_t key[32], plain[32], sealed[32], opened[32];
        for (int i = 0; i < 32; ++i) {
          key[i] = uint8_t(rng());
          plain[i] = uint8_t(rng());
        }
        RijndaelCipher cipher;
        cipher.initKey(key, nullptr, keyLength, blockLength);
        cipher.encryptBlock(plain, sealed);
        RijndaelDecipher decipher;
        ASSERT_TRUE(decipher.initKey(key, keyLength, blockLength));
        decipher.decryptBlock(sealed, opened);
        ASSERT_EQ(0, memcmp(plain, opened, blockLength))
            << "key " << keyLength << " block " << blockLength;
      }
    }
  }
}

TEST(ReportDecoderTest, BodiesOfEveryPaddingCaseComeBackWhole) {
  for (size_t n : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 96u, 6000u, 128000u}) {
    std::string text = reportText(n, unsigned(n));
    std::string body, report, error;
    ASSERT_TRUE(buildBugReportBody(text.data(), text.size(), &body));
    ASSERT_TRUE(decodeReportBody(body, &report, &error)) << n << ": " << error;
    EXPECT_EQ(report, text) << n << " bytes";
    // Among other fields and with a line break after it, as a saved request may be.
    ASSERT_TRUE(decodeReportBody("X=1&" + body + "&Y=2\r\n", &report, &error)) << error;
    EXPECT_EQ(report, text) << n << " bytes, with other fields";
  }
}

TEST(ReportDecoderTest, DamagedBodiesAreRefusedWithTheFailingStep) {
  std::string text = reportText(3000, 1);
  uint8_t fortyBytes[40] = {1, 2, 3};
  uLongf packedLength = 100;
  uint8_t packed[100];
  ASSERT_EQ(compress(packed, &packedLength, fortyBytes, sizeof fortyBytes), Z_OK);

  struct {
    std::string body;
    const char* error;
  } cases[] = {
      {"", "no DATA field in the body"},
      {"DATUM=abcd", "no DATA field in the body"},
      {"DATA=ab%4", "bad form encoding"},
      {"DATA=ab%zz", "bad form encoding"},
      {"DATA=abc", "bad Base64 text"},
      {"DATA=ab%3d%3d%3d%3d", "bad Base64 text"},
      {"DATA=a*cd", "bad Base64 text"},
      {"DATA=" + formEncode(base64Encode("not zlib", 8)),
       "compressed data is damaged, incomplete or too large"},
      {"DATA=" + formEncode(base64Encode(packed, packedLength / 2)),
       "compressed data is damaged, incomplete or too large"},
      // The stream cut to the ciphertext's length never inflates.
      {cutBody(text), "compressed data is damaged, incomplete or too large"},
      {"DATA=" + formEncode(base64Encode(packed, packedLength)),
       "sealed report is not a whole number of 32-byte blocks"},
  };
  for (const auto& c : cases) {
    std::string report = "stale", error;
    EXPECT_FALSE(decodeReportBody(c.body, &report, &error)) << c.body.substr(0, 40);
    EXPECT_EQ(error, c.error) << c.body.substr(0, 40);
    EXPECT_TRUE(report.empty());
  }

  // A stream that would inflate beyond the limit stops there.
  std::string zeros(1 << 20, '\0'), inflated;
  uLongf bombLength = compressBound(uLong(zeros.size()));
  std::vector<uint8_t> bomb(bombLength);
  compress(bomb.data(), &bombLength, reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
  EXPECT_FALSE(inflateAll(std::string(bomb.begin(), bomb.begin() + bombLength), 4096, &inflated));
  EXPECT_LE(inflated.size(), 4096u);
}

// The product's body function and the velorin-report program, end to end:
// a report of several kilobytes with zero bytes inside comes back byte for
// byte, from a file and from standard input.
TEST(ReportDecoderTest, ToolRestoresTheReportByteForByte) {
  std::string text = reportText(7000, 77);
  ASSERT_NE(text.find('\0'), std::string::npos);
  std::string body;
  ASSERT_TRUE(buildBugReportBody(text.data(), text.size(), &body));
  writeFile("report_body.txt", body);
  remove("report_out.txt");

  std::string tool = VELORIN_REPORT_TOOL;
  ASSERT_EQ(system((tool + " report_body.txt -o report_out.txt").c_str()), 0);
  EXPECT_EQ(readFile("report_out.txt"), text);
  ASSERT_EQ(system((tool + " < report_body.txt > report_stdout.txt").c_str()), 0);
  EXPECT_EQ(readFile("report_stdout.txt"), text);

  writeFile("report_body.txt", cutBody(text));
  EXPECT_NE(system((tool + " report_body.txt > report_stdout.txt 2>/dev/null").c_str()), 0);
  remove("report_body.txt");
  remove("report_out.txt");
  remove("report_stdout.txt");
}
