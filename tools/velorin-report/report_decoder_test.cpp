// Every decode deciphers with the tool's own decipher what the program's
// cipher sealed: that cipher's published vectors are the crypto tests'.
#include "tools/velorin-report/report_decoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "report/body_buffer.h"
#include "report/report_cipher.h"
#include "report/report_sections.h"
#include "tests/test_files.h"
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

std::string adopt(uint8_t* bytes, size_t length) {
  std::unique_ptr<uint8_t[]> owned(bytes);
  EXPECT_TRUE(bytes);
  return bytes ? std::string(reinterpret_cast<char*>(bytes), length) : "";
}

std::string bodyOf(const std::string& text) {
  size_t length = 0;
  return adopt(buildReportBodyBuffer(text.data(), text.size(), &length), length);
}

// "DATA=" and the form-encoded Base64 of any bytes.
std::string wrap(const std::string& bytes) {
  size_t length = 0;
  return adopt(
      encodeReportBody(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &length),
      length);
}

// The report key's ciphertext of TEXT (a crash filter's file is LOG + '\0').
std::string sealed(const std::string& text) {
  size_t length = 0;
  return adopt(encryptReport(text.data(), text.size(), &length), length);
}

// The flawed sender's body: the zlib stream cut to the ciphertext's length.
std::string cutBody(const std::string& text) {
  std::string cipher = sealed(text);
  return wrap(zpack(cipher).substr(0, cipher.size()));
}

std::string withSection(const std::string& head,
                        const std::string& bytes,
                        const char* tag = "LOG") {
  return head + "\r\n\r\n------------\r\n" + tag + " Contents (" + std::to_string(bytes.size()) +
         " bytes)\r\n------------\r\n" + bytes;
}

}  // namespace

// Trailing zeros are the report's own down to the shortest length its padded
// size allows (33, 64, 96 pad to 64, 96, 128); 65's last and 32's are lost.
TEST(ReportDecoderTest, BodiesOfEveryPaddingCaseComeBackWhole) {
  struct {
    size_t length, zeros, kept;
  } cases[] = {{0, 0, 0},   {1, 0, 1},   {31, 0, 31}, {63, 0, 63}, {6000, 0, 6000},    {33, 3, 33},
               {64, 5, 64}, {96, 7, 96}, {65, 2, 64}, {32, 4, 28}, {128000, 0, 128000}};
  for (const auto& c : cases) {
    std::string text = reportText(c.length, unsigned(c.length)), report, error;
    text.replace(c.length - c.zeros, c.zeros, c.zeros, '\0');
    std::string body = bodyOf(text);
    // Alone, or among other fields, last or not, with a line break after it.
    for (const std::string& saved :
         {body, "X=1&" + body + "&Y=2\r\n", "X=1&" + body + "\r\n", body + "\r\n"}) {
      ASSERT_TRUE(decodeReportBody(saved, &report, &error)) << c.length << ": " << error;
      EXPECT_EQ(report, text.substr(0, c.kept)) << c.length << " bytes, as " << saved.substr(0, 8);
    }
  }
}

TEST(ReportDecoderTest, DamagedBodiesAreRefusedWithTheFailingStep) {
  const std::string packed = zpack(std::string(48, '\1')),
                    damaged = "compressed data is damaged, incomplete or too large";
  const std::pair<std::string, std::string> cases[] = {
      {"", "no DATA field in the body"},
      {"DATUM=abcd", "no DATA field in the body"},
      {"DATA=ab%4", "bad form encoding"},
      {"DATA=ab%zz", "bad form encoding"},
      {"DATA=abc", "Base64 text is not a whole number of four-character groups"},
      {"DATA=a*cd", "bad character in the Base64 text"},
      {"DATA=a%3dbc", "misplaced \"=\" in the Base64 text"},
      {"DATA=ab%3dc", "misplaced \"=\" in the Base64 text"},
      {"DATA=ab%3d%3dabcd", "misplaced \"=\" in the Base64 text"},
      {wrap(zpack("")), "compressed data inflates to nothing: no sealed report inside"},
      {wrap("not zlib"), damaged},
      {wrap(packed.substr(0, packed.size() / 2)), damaged},
      {cutBody(reportText(3000, 1)), damaged},  // never inflates
      {wrap(packed), "sealed report is not a whole number of 32-byte blocks"},
  };
  for (const auto& c : cases) {
    std::string report = "stale", error;
    EXPECT_FALSE(decodeReportBody(c.first, &report, &error)) << c.first.substr(0, 40);
    EXPECT_EQ(error, c.second) << c.first.substr(0, 40);
    EXPECT_TRUE(report.empty());
  }
  std::string inflated;
  EXPECT_FALSE(inflateAll(zpack(std::string(1 << 20, '\0')), 4096, &inflated));
  EXPECT_LE(inflated.size(), 4096u);
  // The committed sample body is what the sample generator writes, a report of this program.
  std::string error;
  ASSERT_TRUE(decodeReportBody(readFile(VELORIN_REPORT_SAMPLE), &inflated, &error)) << error;
  EXPECT_EQ(inflated, sampleReportText());
  EXPECT_TRUE(looksLikeSystemReport(inflated));
}

// The tool end to end, from a file and from standard input, a crash log
// section as its text; each refusal has its exit code.
TEST(ReportDecoderTest, ToolRestoresTheReportAndSaysWhatItGot) {
  std::string text = kProcessorSectionHead + reportText(7000, 77);
  const std::string head = kProcessorSectionHead + reportText(3000, 5), log = "INFO: started\n";
  const std::string withLog = withSection(head, sealed(log + '\0'));
  writeFile("report_body.txt", bodyOf(text));
  writeFile("-x", bodyOf(text));
  struct {
    std::string arguments, body;
    int code;
    std::string output;  // what report_out.txt then holds
  } cases[] = {
      {"report_body.txt -o report_out.txt", "", 0, text},
      {"< report_body.txt > report_out.txt", "", 0, text},
      {"-- -x > report_out.txt", "", 0, text},
      // Options it does not know are refused, even when a file of that name exists.
      {"-x > report_out.txt", "", 2, ""},
      {"--foo report_body.txt > report_out.txt", "", 2, ""},
      {"report_body.txt -o", "", 2, ""},
      {"report_body.txt > report_out.txt", cutBody(text), 3, ""},
      // Deciphers, but is not a report of this program: written, and flagged.
      {"report_body.txt -o report_out.txt", bodyOf("PROCESSOR INFORMATION\r\nno dashes"), 4,
       "PROCESSOR INFORMATION\r\nno dashes"},
      {"report_body.txt -o report_out.txt", bodyOf(""), 5, ""},
      {"--log report_body.txt -o report_out.txt", bodyOf(withLog), 0,
       withLog.substr(0, withLog.size() - 32) +
           "[the program's crash log, deciphered: 14 bytes of text]\r\n" + log},
      {"--log report_body.txt -o report_out.txt", bodyOf(head), 6, head},
  };
  for (const auto& c : cases) {
    if (!c.body.empty())
      writeFile("report_body.txt", c.body);
    writeFile("report_out.txt", "");
    EXPECT_EQ(runShell(VELORIN_REPORT_TOOL " " + c.arguments + " 2>/dev/null"), c.code)
        << c.arguments;
    EXPECT_EQ(readFile("report_out.txt"), c.output) << c.arguments;
  }
  EXPECT_EQ(runShell(VELORIN_REPORT_TOOL " --help > report_out.txt"), 0);
  EXPECT_NE(readFile("report_out.txt").find("Exit codes"), std::string::npos);
  for (const char* name : {"report_body.txt", "report_out.txt", "-x"})
    remove(name);
}

TEST(ProgramLogTest, DeciphersEveryPaddingCaseAndFindsOnlyItsOwnSection) {
  std::string text;
  for (size_t n : {0, 31, 32, 63, 64, 127999}) {
    ASSERT_TRUE(decipherProgramLog(sealed(std::string(n, 'L') + '\0'), &text)) << n;
    EXPECT_EQ(text, std::string(n, 'L'));
  }
  // Not whole blocks, the client's plain log, a surplus block of zeros beyond
  // the padding rule: not the filter's.
  for (const std::string& other : {std::string(), std::string(33, 'x'), std::string(64, 'x'),
                                   sealed(std::string(35, '\0')).substr(0, 64)})
    EXPECT_FALSE(decipherProgramLog(other, &text)) << other.size();
  // A head inside earlier bytes whose count does not reach the end is passed
  // over; a count one byte off finds no section.
  const std::string head = kProcessorSectionHead + reportText(3000, 5), log = "INFO: x\n";
  const std::string report = withSection(head, sealed(log + '\0'));
  EXPECT_EQ(
      decipherLogSection(withSection(withSection(head, "zz") + "more", sealed(log + '\0')), &text),
      LOG_SECTION_DECIPHERED);
  EXPECT_EQ(text.substr(text.size() - log.size()), log);
  EXPECT_EQ(decipherLogSection(report.substr(0, report.size() - 1), &text), LOG_SECTION_MISSING);
  EXPECT_EQ(decipherLogSection(withSection(head, std::string(32, 'c')), &text),
            LOG_SECTION_NOT_OURS);
}

// The bytes of a crash file end the report; when they end in zeros, the
// section's count tells them from the padding, a program log's ciphertext
// ending in a zero byte among them. A cut report ends with its closing line.
TEST(ProgramLogTest, LastSectionEndingInZerosComesBackWhole) {
  const std::string head = kProcessorSectionHead + reportText(3000, 7);
  std::string log, cipher = "x";
  for (int i = 0; cipher.back() != '\0'; ++i) {
    ASSERT_LT(i, 100000);
    cipher = sealed((log = "INFO: crash log " + std::to_string(i)) + '\0');
  }
  // Whole blocks before the closing line: the count asks for 16 bytes of the
  // block of zeros padding adds.
  std::string cut = head +
                    "\r\n\r\n------------\r\nDBG Contents (60 bytes)\r\n------------\r\n"
                    "DUMP\r\n[report cut here: 49 bytes left out]\r\n";
  cut.insert(head.size(), (32 - cut.size() % 32) % 32, '.');
  for (const std::string& text :
       {withSection(head, "DUMP" + std::string(1, '\0'), "DBG"),
        withSection(head, "DUMP" + std::string(40, '\0'), "DBG"), withSection(head, cipher), cut}) {
    std::string report, error;
    ASSERT_TRUE(decodeReportBody(bodyOf(text), &report, &error)) << error;
    EXPECT_EQ(report, text);
  }
  std::string out;
  ASSERT_EQ(decipherLogSection(withSection(head, cipher), &out), LOG_SECTION_DECIPHERED);
  EXPECT_EQ(out.substr(out.size() - log.size()), log);
}
