#include "tools/velorin-report/report_decoder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
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
#include "report/report_sections.h"
#include "tests/unit/crypto_test_util.h"
#include "tools/velorin-report/rijndael_decipher.h"
#include "tools/velorin-report/sample_report.h"

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

std::string bodyOf(const std::string& text) {
  std::string body;
  EXPECT_TRUE(buildBugReportBody(text.data(), text.size(), &body));
  return body;
}

// Exit code of the tool run through the shell with these arguments.
int runTool(const std::string& arguments) {
  int status = system((std::string(VELORIN_REPORT_TOOL) + " " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    // Among other fields, last or alone, with a line break after it, as a
    // saved request may be.
    for (const std::string& saved :
         {"X=1&" + body + "&Y=2\r\n", "X=1&" + body + "\r\n", body + "\r\n"}) {
      ASSERT_TRUE(decodeReportBody(saved, &report, &error)) << n << ": " << error;
      EXPECT_EQ(report, text) << n << " bytes, as " << saved.substr(0, 8);
    }
  }
}

// Zeros at the end of a report cannot be told from padding below the shortest
// length that the padded size allows; above it they are the report's own.
TEST(ReportDecoderTest, TrailingZerosSurviveAsFarAsThePaddingAllows) {
  struct {
    size_t length, zeros, kept;
  } cases[] = {
      {33, 3, 33},  // padded to 64: 33 is the shortest that pads so
      {64, 5, 64},  // padded to 96: 64 to 95 do
      {96, 7, 96},  // padded to 128: 96 to 127 do
      {65, 2, 64},  // padded to 96: the last zero is kept as padding
      {32, 4, 28},  // padded to 32: any length from 0 does, zeros are lost
  };
  for (const auto& c : cases) {
    std::string text = reportText(c.length, unsigned(c.length));
    text.replace(c.length - c.zeros, c.zeros, c.zeros, '\0');
    std::string report, error;
    ASSERT_TRUE(decodeReportBody(bodyOf(text), &report, &error)) << error;
    EXPECT_EQ(report, text.substr(0, c.kept)) << c.length << " bytes";
  }
}

TEST(ReportDecoderTest, DamagedBodiesAreRefusedWithTheFailingStep) {
  std::string text = reportText(3000, 1);
  uint8_t fortyBytes[40] = {1, 2, 3};
  uLongf packedLength = 100;
  uint8_t packed[100];
  ASSERT_EQ(compress(packed, &packedLength, fortyBytes, sizeof fortyBytes), Z_OK);
  uLongf emptyLength = 100;
  uint8_t empty[100];
  ASSERT_EQ(compress(empty, &emptyLength, fortyBytes, 0), Z_OK);

  struct {
    std::string body;
    const char* error;
  } cases[] = {
      {"", "no DATA field in the body"},
      {"DATUM=abcd", "no DATA field in the body"},
      {"DATA=ab%4", "bad form encoding"},
      {"DATA=ab%zz", "bad form encoding"},
      {"DATA=abc", "Base64 text is not a whole number of four-character groups"},
      {"DATA=a*cd", "bad character in the Base64 text"},
      {"DATA=a%3dbc", "misplaced \"=\" in the Base64 text"},
      {"DATA=ab%3dc", "misplaced \"=\" in the Base64 text"},
      {"DATA=ab%3d%3dabcd", "misplaced \"=\" in the Base64 text"},
      {"DATA=" + formEncode(base64Encode(empty, emptyLength)),
       "compressed data inflates to nothing: no sealed report inside"},
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
// byte, from a file and from standard input; each kind of refusal has its
// own exit code.
TEST(ReportDecoderTest, ToolRestoresTheReportAndSaysWhatItGot) {
  std::string text = kProcessorSectionHead + reportText(7000, 77);
  ASSERT_NE(text.find('\0'), std::string::npos);
  writeFile("report_body.txt", bodyOf(text));
  remove("report_out.txt");
  ASSERT_EQ(runTool("report_body.txt -o report_out.txt"), 0);
  EXPECT_EQ(readFile("report_out.txt"), text);
  ASSERT_EQ(runTool("< report_body.txt > report_stdout.txt"), 0);
  EXPECT_EQ(readFile("report_stdout.txt"), text);

  // Options it does not know are refused, even when a file of that name exists.
  writeFile("-x", bodyOf(text));
  EXPECT_EQ(runTool("-x > report_stdout.txt 2>/dev/null"), 2);
  EXPECT_EQ(runTool("--foo report_body.txt > report_stdout.txt 2>/dev/null"), 2);
  EXPECT_EQ(runTool("report_body.txt -o 2>/dev/null"), 2);
  EXPECT_EQ(readFile("report_stdout.txt"), "");
  EXPECT_EQ(runTool("-- -x > report_stdout.txt"), 0);
  EXPECT_EQ(readFile("report_stdout.txt"), text);

  EXPECT_EQ(runTool("--help > report_stdout.txt"), 0);
  std::string help = readFile("report_stdout.txt");
  for (const char* part : {"In:", "Out:", "sample-body.txt", "Exit codes", "  4  "})
    EXPECT_NE(help.find(part), std::string::npos) << part;

  writeFile("report_body.txt", cutBody(text));
  EXPECT_EQ(runTool("report_body.txt > report_stdout.txt 2>/dev/null"), 3);

  // Deciphers, but is not a report of this program: written, and flagged.
  std::string other = "PROCESSOR INFORMATION\r\nbut no dash line before it";
  writeFile("report_body.txt", bodyOf(other));
  EXPECT_EQ(runTool("report_body.txt -o report_out.txt 2>/dev/null"), 4);
  EXPECT_EQ(readFile("report_out.txt"), other);

  writeFile("report_body.txt", bodyOf(""));
  EXPECT_EQ(runTool("report_body.txt -o report_out.txt 2>report_stdout.txt"), 5);
  EXPECT_NE(readFile("report_stdout.txt").find("empty"), std::string::npos);

  for (const char* name : {"report_body.txt", "report_out.txt", "report_stdout.txt", "-x"})
    remove(name);
}

// The committed sample body is what the sample generator writes: it decodes
// to the sample report, which the tool takes for a report of this program.
TEST(ReportDecoderTest, CommittedSampleIsTheGeneratorsReport) {
  std::string report, error;
  ASSERT_TRUE(decodeReportBody(readFile(VELORIN_REPORT_SAMPLE), &report, &error)) << error;
  EXPECT_EQ(report, sampleReportText());
  EXPECT_TRUE(looksLikeSystemReport(report));
  EXPECT_EQ(runTool(std::string(VELORIN_REPORT_SAMPLE) + " > /dev/null"), 0);
}

// The crash filter's file inside a report: enciphered with the report key,
// then carried raw as the report's last section.
std::string sealedLog(const std::string& log) {
  std::string plain = log + '\0';
  size_t length = 0;
  std::unique_ptr<uint8_t[]> sealed(encryptReport(plain.data(), plain.size(), &length));
  return std::string(reinterpret_cast<const char*>(sealed.get()), length);
}

std::string withLogSection(const std::string& head, const std::string& bytes) {
  return head + "\r\n\r\n------------\r\nLOG Contents (" + std::to_string(bytes.size()) +
         " bytes)\r\n------------\r\n" + bytes;
}

TEST(ProgramLogTest, DeciphersEveryPaddingCaseAndRefusesOtherBytes) {
  // 31 bytes of text: one block; 63: the terminator ends the second block and
  // a third block of zeros follows; empty: one block.
  for (size_t n : {size_t(0), size_t(31), size_t(32), size_t(63), size_t(64), size_t(127999)}) {
    std::string log = reportText(n, unsigned(n)), text;
    for (char& c : log)
      if (c == '\0')
        c = '#';
    ASSERT_TRUE(decipherProgramLog(sealedLog(log), &text)) << n;
    EXPECT_EQ(text, log);
  }
  std::string text;
  EXPECT_FALSE(decipherProgramLog("", &text));
  EXPECT_FALSE(decipherProgramLog(std::string(33, 'x'), &text));  // not whole blocks
  // The game client's own plain log of the same name.
  EXPECT_FALSE(decipherProgramLog(std::string(64, 'x'), &text));
  // A surplus block of zeros beyond the padding rule is not the filter's.
  size_t length = 0;
  std::string zeros(64, '\0');
  std::unique_ptr<uint8_t[]> padded(encryptReport(zeros.data(), 35, &length));
  ASSERT_EQ(length, 64u);
  std::string twoBlocks(reinterpret_cast<const char*>(padded.get()), length);
  EXPECT_FALSE(decipherProgramLog(twoBlocks, &text));  // text "" needs one block only
}

// The bytes of a crash file end the report; when they end in zeros, the
// section's count tells them from the padding. A crash log of the program
// whose ciphertext ends in a zero byte is one such file.
TEST(ProgramLogTest, LastSectionEndingInZerosComesBackWhole) {
  const std::string head = kProcessorSectionHead + reportText(3000, 7);
  for (size_t zeros : {size_t(1), size_t(5), size_t(31), size_t(40)}) {
    std::string dump = "DUMP" + std::string(zeros, '\0');
    std::string text = head + "\r\n\r\n------------\r\nDBG Contents (" +
                       std::to_string(dump.size()) + " bytes)\r\n------------\r\n" + dump;
    std::string report, error;
    ASSERT_TRUE(decodeReportBody(bodyOf(text), &report, &error)) << error;
    EXPECT_EQ(report, text) << zeros << " zeros";
  }

  std::string log = "INFO: crash log ";
  std::string cipher = sealedLog(log);
  for (int i = 0; cipher.back() != '\0'; ++i) {
    ASSERT_LT(i, 100000);
    log = "INFO: crash log " + std::to_string(i);
    cipher = sealedLog(log);
  }
  std::string text = withLogSection(head, cipher), report, error, out;
  ASSERT_TRUE(decodeReportBody(bodyOf(text), &report, &error)) << error;
  EXPECT_EQ(report, text);
  ASSERT_EQ(decipherLogSection(report, &out), LOG_SECTION_DECIPHERED);
  EXPECT_EQ(out.substr(out.size() - log.size()), log);

  // A cut report ends with its closing line: no zeros are added after it,
  // even where the count reaches into the padding (a report of whole blocks
  // gains a block of zeros; the count here asks for 16 of them).
  const std::string tail =
      "\r\n\r\n------------\r\nDBG Contents (60 bytes)\r\n------------\r\n"
      "DUMP\r\n[report cut here: 49 bytes left out]\r\n";
  std::string cut = head + tail;
  cut.insert(head.size(), (32 - cut.size() % 32) % 32, '.');
  ASSERT_EQ(cut.size() % 32, 0u);
  ASSERT_TRUE(decodeReportBody(bodyOf(cut), &report, &error)) << error;
  EXPECT_EQ(report, cut);
}

TEST(ProgramLogTest, ToolPrintsTheLogSectionAsText) {
  const std::string log = "INFO: started\nFAIL: window thread crashed\n";
  const std::string head = kProcessorSectionHead + reportText(3000, 5);
  std::string report = withLogSection(head, sealedLog(log));
  std::string out;
  ASSERT_EQ(decipherLogSection(report, &out), LOG_SECTION_DECIPHERED);
  // The section's head stays; its 64 raw bytes become the text.
  EXPECT_EQ(out, report.substr(0, report.size() - 64) +
                     "[the program's crash log, deciphered: 42 bytes of text]\r\n" + log);

  // A head inside earlier bytes whose count does not reach the end is passed
  // over; a count one byte off finds no section.
  std::string decoy = withLogSection(head, "zz") + "more";
  EXPECT_EQ(decipherLogSection(withLogSection(decoy, sealedLog(log)), &out),
            LOG_SECTION_DECIPHERED);
  EXPECT_EQ(decipherLogSection(report.substr(0, report.size() - 1), &out), LOG_SECTION_MISSING);
  EXPECT_EQ(decipherLogSection(withLogSection(head, std::string(32, 'c')), &out),
            LOG_SECTION_NOT_OURS);

  writeFile("log_body.txt", bodyOf(report));
  ASSERT_EQ(runTool("--log log_body.txt -o log_out.txt"), 0);
  std::string printed = readFile("log_out.txt");
  EXPECT_EQ(printed.substr(printed.size() - log.size()), log);
  ASSERT_EQ(runTool("log_body.txt -o log_out.txt"), 0);  // without the option: raw
  EXPECT_EQ(readFile("log_out.txt"), report);
  writeFile("log_body.txt", bodyOf(head));
  EXPECT_EQ(runTool("--log log_body.txt -o log_out.txt 2>/dev/null"), 6);
  EXPECT_EQ(readFile("log_out.txt"), head);
  remove("log_body.txt");
  remove("log_out.txt");
}
