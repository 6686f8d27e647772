#include "tools/velorin-report/report_decoder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "report/body_buffer.h"
#include "report/report_cipher.h"
#include "report/report_sections.h"
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
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
}

void writeFile(const char* path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string adopt(uint8_t* body, size_t length) {
  std::unique_ptr<uint8_t[]> owned(body);
  EXPECT_TRUE(body);
  return body ? std::string(reinterpret_cast<char*>(body), length) : "";
}

std::string bodyOf(const std::string& text) {
  size_t length = 0;
  return adopt(buildReportBodyBuffer(text.data(), text.size(), &length), length);
}

// "DATA=" and the form-encoded Base64 of any bytes.
std::string wrap(const void* bytes, size_t n) {
  size_t length = 0;
  return adopt(encodeReportBody(static_cast<const uint8_t*>(bytes), n, &length), length);
}

// The body as the flawed sender would have built it: the zlib stream cut to
// the length of the ciphertext.
std::string cutBody(const std::string& text) {
  size_t sealedLength = 0;
  std::unique_ptr<uint8_t[]> sealed(encryptReport(text.data(), text.size(), &sealedLength));
  uLongf packedLength = compressBound(uLong(sealedLength));
  std::vector<uint8_t> packed(packedLength);
  compress(packed.data(), &packedLength, sealed.get(), uLong(sealedLength));
  return wrap(packed.data(), sealedLength);
}

// Exit code of the tool run through the shell with these arguments.
int runTool(const std::string& arguments) {
  int status = system((std::string(VELORIN_REPORT_TOOL) + " " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Every decode deciphers with the tool's own decipher what the program's
// cipher sealed: that cipher's published vectors are the crypto tests'.
TEST(ReportDecoderTest, BodiesOfEveryPaddingCaseComeBackWhole) {
  for (size_t n : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 96u, 6000u, 128000u}) {
    std::string text = reportText(n, unsigned(n)), body = bodyOf(text), report, error;
    // Alone, or among other fields, last or not, and with a line break after
    // it, as a saved request may be.
    for (const std::string& saved :
         {body, "X=1&" + body + "&Y=2\r\n", "X=1&" + body + "\r\n", body + "\r\n"}) {
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
      {wrap(empty, emptyLength), "compressed data inflates to nothing: no sealed report inside"},
      {wrap("not zlib", 8), "compressed data is damaged, incomplete or too large"},
      {wrap(packed, packedLength / 2), "compressed data is damaged, incomplete or too large"},
      // The stream cut to the ciphertext's length never inflates.
      {cutBody(text), "compressed data is damaged, incomplete or too large"},
      {wrap(packed, packedLength), "sealed report is not a whole number of 32-byte blocks"},
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

// The tool end to end: a report with zero bytes inside comes back byte for
// byte from a file and from standard input; each refusal has its exit code.
TEST(ReportDecoderTest, ToolRestoresTheReportAndSaysWhatItGot) {
  std::string text = kProcessorSectionHead + reportText(7000, 77);
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
  };
  for (const auto& c : cases) {
    if (!c.body.empty())
      writeFile("report_body.txt", c.body);
    writeFile("report_out.txt", "");
    EXPECT_EQ(runTool(c.arguments + " 2>/dev/null"), c.code) << c.arguments;
    EXPECT_EQ(readFile("report_out.txt"), c.output) << c.arguments;
  }
  EXPECT_EQ(runTool("--help > report_out.txt"), 0);
  std::string help = readFile("report_out.txt");
  for (const char* part : {"In:", "Out:", "sample-body.txt", "Exit codes", "  4  "})
    EXPECT_NE(help.find(part), std::string::npos) << part;
  for (const char* name : {"report_body.txt", "report_out.txt", "-x"})
    remove(name);
}

// The committed sample body is what the sample generator writes: it decodes
// to the sample report, which the tool takes for a report of this program.
TEST(ReportDecoderTest, CommittedSampleIsTheGeneratorsReport) {
  std::string report, error;
  ASSERT_TRUE(decodeReportBody(readFile(VELORIN_REPORT_SAMPLE), &report, &error)) << error;
  EXPECT_EQ(report, sampleReportText());
  EXPECT_TRUE(looksLikeSystemReport(report));
}

// The crash filter's file inside a report: enciphered with the report key,
// then carried raw as the report's last section.
std::string sealedLog(const std::string& log) {
  std::string plain = log + '\0';
  size_t length = 0;
  std::unique_ptr<uint8_t[]> sealed(encryptReport(plain.data(), plain.size(), &length));
  return std::string(reinterpret_cast<const char*>(sealed.get()), length);
}

std::string withSection(const std::string& head,
                        const std::string& bytes,
                        const char* tag = "LOG") {
  return head + "\r\n\r\n------------\r\n" + tag + " Contents (" + std::to_string(bytes.size()) +
         " bytes)\r\n------------\r\n" + bytes;
}

TEST(ProgramLogTest, DeciphersEveryPaddingCaseAndRefusesOtherBytes) {
  for (size_t n : {size_t(0), size_t(31), size_t(32), size_t(63), size_t(64), size_t(127999)}) {
    std::string log(n, 'L'), text;
    ASSERT_TRUE(decipherProgramLog(sealedLog(log), &text)) << n;
    EXPECT_EQ(text, log);
  }
  std::string text;
  EXPECT_FALSE(decipherProgramLog("", &text));
  EXPECT_FALSE(decipherProgramLog(std::string(33, 'x'), &text));  // not whole blocks
  EXPECT_FALSE(decipherProgramLog(std::string(64, 'x'), &text));  // the client's plain log
  // A surplus block of zeros beyond the padding rule is not the filter's.
  size_t length = 0;
  std::unique_ptr<uint8_t[]> padded(encryptReport(std::string(64, '\0').data(), 35, &length));
  EXPECT_FALSE(decipherProgramLog(std::string(reinterpret_cast<char*>(padded.get()), 64), &text));
}

// The bytes of a crash file end the report; when they end in zeros, the
// section's count tells them from the padding, a program log's ciphertext
// ending in a zero byte among them. A cut report ends with its closing line.
TEST(ProgramLogTest, LastSectionEndingInZerosComesBackWhole) {
  const std::string head = kProcessorSectionHead + reportText(3000, 7);
  std::string log = "INFO: crash log ", cipher = sealedLog(log);
  for (int i = 0; cipher.back() != '\0'; ++i) {
    ASSERT_LT(i, 100000);
    log = "INFO: crash log " + std::to_string(i);
    cipher = sealedLog(log);
  }
  // Whole blocks before the closing line: the count asks for 16 bytes of the
  // block of zeros padding adds.
  std::string cut = head +
                    "\r\n\r\n------------\r\nDBG Contents (60 bytes)\r\n------------\r\n"
                    "DUMP\r\n[report cut here: 49 bytes left out]\r\n";
  cut.insert(head.size(), (32 - cut.size() % 32) % 32, '.');
  std::string texts[] = {withSection(head, "DUMP" + std::string(1, '\0'), "DBG"),
                         withSection(head, "DUMP" + std::string(40, '\0'), "DBG"),
                         withSection(head, cipher), cut};
  for (const std::string& text : texts) {
    std::string report, error;
    ASSERT_TRUE(decodeReportBody(bodyOf(text), &report, &error)) << error;
    EXPECT_EQ(report, text);
  }
  std::string out;
  ASSERT_EQ(decipherLogSection(withSection(head, cipher), &out), LOG_SECTION_DECIPHERED);
  EXPECT_EQ(out.substr(out.size() - log.size()), log);
}

TEST(ProgramLogTest, ToolPrintsTheLogSectionAsText) {
  const std::string log = "INFO: started\nFAIL: window thread crashed\n";
  const std::string head = kProcessorSectionHead + reportText(3000, 5);
  std::string report = withSection(head, sealedLog(log)), out;
  // The section's head stays; its 64 raw bytes become the text.
  const std::string text = report.substr(0, report.size() - 64) +
                           "[the program's crash log, deciphered: 42 bytes of text]\r\n" + log;
  ASSERT_EQ(decipherLogSection(report, &out), LOG_SECTION_DECIPHERED);
  EXPECT_EQ(out, text);
  // A head inside earlier bytes whose count does not reach the end is passed
  // over; a count one byte off finds no section.
  std::string decoy = withSection(head, "zz") + "more";
  EXPECT_EQ(decipherLogSection(withSection(decoy, sealedLog(log)), &out), LOG_SECTION_DECIPHERED);
  EXPECT_EQ(decipherLogSection(report.substr(0, report.size() - 1), &out), LOG_SECTION_MISSING);
  EXPECT_EQ(decipherLogSection(withSection(head, std::string(32, 'c')), &out),
            LOG_SECTION_NOT_OURS);

  writeFile("log_body.txt", bodyOf(report));
  ASSERT_EQ(runTool("--log log_body.txt -o log_out.txt"), 0);
  EXPECT_EQ(readFile("log_out.txt"), text);
  writeFile("log_body.txt", bodyOf(head));
  EXPECT_EQ(runTool("--log log_body.txt -o log_out.txt 2>/dev/null"), 6);
  EXPECT_EQ(readFile("log_out.txt"), head);
  remove("log_body.txt");
  remove("log_out.txt");
}
