#include "report/system_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "report/byte_size.h"
#include "report/language_name.h"
#include "report/os_info.h"

TEST(ByteSize, ThresholdIsAThousandWhileTheDivisorIs1024) {
  const std::tuple<uint64_t, int, const char*> cases[] = {
      {0, 2, "0.00 bytes"},
      {1000, 2, "1000.00 bytes"},
      {1001, 2, "0.98 KB"},
      {536281088ull + 655360, 0, "512 MB"},
      // Beyond the terabytes the count still gets a unit of its own.
      {3ull << 50, 1, "3.0 PB"},
      {~0ull, 0, "16384 PB"}};
  char text[64];
  for (const auto& [count, precision, expected] : cases) {
    EXPECT_TRUE(formatByteSize(count, precision, text, sizeof text));
    EXPECT_STREQ(text, expected);
  }
  EXPECT_FALSE(formatByteSize(1000, 2, text, 6));
  EXPECT_STREQ(text, "");
}

TEST(LanguageName, SublanguagesAndPlainNames) {
  const std::tuple<uint32_t, const char*> cases[] = {
      {0x0409, "English (US)"},
      {0x3409, "English (Philippines)"},  // last variant
      {0x3809, "English"},                // one past it
      {0x0407, "German"},                 // sublanguage 1 has no name of its own
      {0x0C07, "German (Austrian)"},
      {0x0000, "Neutral"},
      {0x0465, "Divehi"},  // highest primary with a name
      {0x0466, "Unknown"},
      {0x3FF, "Unknown"}};
  char name[kLanguageNameSize];
  for (const auto& [locale, expected] : cases) {
    languageName(locale, name, sizeof name);
    EXPECT_STREQ(name, expected) << std::hex << locale;
  }
  languageName(0x0409, name, 5);
  EXPECT_STREQ(name, "");  // never a cut-off name
}

static std::string report(size_t capacity, const std::function<void(ReportWriter&)>& write) {
  std::vector<char> buffer(capacity, 'X');
  ReportWriter writer(buffer.data(), capacity);
  write(writer);
  size_t length = writer.finish();
  EXPECT_LT(length, capacity);
  EXPECT_EQ(buffer[length], '\0');
  return std::string(buffer.data(), length);
}

// Ten bytes fit a report (or section) of 64 + 10 bytes; one more is cut with its count.
TEST(ReportWriter, ExactFitIsWholeAndOneByteMoreIsCutWithItsCount) {
  const size_t fit = 1 + kReportCutReserve + 10;
  const std::string cut = "\r\n[report cut here: 1 bytes left out]\r\n";
  // Report size, section bound (0: none), text, what follows the section.
  const std::tuple<size_t, size_t, const char*, const char*, std::string> cases[] = {
      {fit, 0, "0123456789", "", "0123456789"},
      {fit, 0, "0123456789A", "", "0123456789" + cut},
      {1000, fit - 1, "0123456789", ">", "<0123456789>"},
      {1000, fit - 1, "0123456789A", ">", "<0123456789" + cut + ">"},
      // A section as large as the report's room is left to the report's bound.
      {kReportCutReserve + 76, fit - 1, "0123456789A", ">", "<0123456789A>"},
      {fit + 1, fit + 10, "0123456789AB", "after",
       "<0123456789\r\n[report cut here: 7 bytes left out]\r\n"}};
  for (const auto& [capacity, bound, text, after, expected] : cases)
    EXPECT_EQ(report(capacity,
                     [b = bound, t = text, a = after](ReportWriter& w) {
                       w.appendText(b ? "<" : "");
                       w.beginSection(b ? b : 100000);
                       w.appendText(t);
                       w.endSection();
                       w.appendText(a);
                     }),
              expected);
  // Formatted text, later pieces and bytes never read all count.
  EXPECT_EQ(report(fit,
                   [](ReportWriter& w) {
                     w.appendFormat("%s-%d", "abcdef", 12345);  // 12 bytes
                     w.append("xyz", 3);
                     w.leaveOut(100);
                   }),
            "abcdef-123\r\n[report cut here: 105 bytes left out]\r\n");
}

TEST(SystemReport, HeadSectionsAndLinesInOrder) {
  static const ReportDriveFacts drives[] = {{"C:\\", "Fixed drive", "9.77 GB", "1.50 GB"},
                                            {"Z:\\", "Network drive", "0", "0"}};
  // clang-format off
  const ReportMachineFacts f = {
      "Intel Pentium(R) III", "733 MHz", "1", 6, 8, 3,
      0x00000001 | 0x00008000 | 0x00004000 | 0x04000000 | 0x20000000, 0x40000000,
      "Microsoft Windows XP", "00000409", "English (US)", "German",
      {"", "", "", "", "", "1.00 MB"}, {"", "", "", "", "", "", "", "Unknown"}, drives, 2,
      "C:\\TEMP", "C:\\WINDOWS", "C:\\WINDOWS\\system32"};
  // clang-format on
  const std::string text =
      report(kReportBufferSize, [&](ReportWriter& w) { writeReportHead(w, f, nullptr); });
  // Features: first and last bits, SSE2 (26) and SS (27), a one-value line, extended.
  const char* inOrder[] = {
      "---------------------\r\nPROCESSOR INFORMATION\r\n---------------------\r\n",
      "CPU Speed:      733 MHz\r\nNumber of CPUs: 1\r\nFamily:         6\r\n"
      "Model:          8\r\nStepping:       3\r\n\r\n",
      "------------------\r\nPROCESSOR FEATURES\r\n------------------\r\n",
      "FPU:     1              CMOV:1\r\n",
      "MMX:0\r\n",
      "SEP:     0              SSE2:1\r\nMTRR:    0              SS:0\r\n",
      "PGE:     0              TM:1\r\nMCA:     1\r\n",
      "3dNow!:  0              3dNow!Ex:1\r\nSSE MMX: 0\r\n\r\n",
      "--------------\r\nOS INFORMATION\r\n--------------\r\n",
      "Input Locale: 00000409\r\nSystem Default Language ID: English (US)\r\n"
      "Current User Language ID:   German\r\n\r\n",
      "------------------\r\nMEMORY INFORMATION\r\n------------------\r\n",
      "Avail Virtual: 1.00 MB\r\n\r\n",
      "------------------\r\nSOCKET INFORMATION\r\n------------------\r\n",
      "UDP Max:       Unknown\r\n\r\n----------------------\r\nHARD DRIVE INFORMATION\r\n",
      "Name: C:\\ Type: Fixed drive Total: 9.77 GB Free: 1.50 GB\r\n"
      "Name: Z:\\ Type: Network drive Total: 0 Free: 0\r\n\r\n"
      "-----------------------\r\nFILE SYSTEM INFORMATION\r\n-----------------------\r\n",
      "System Path:   C:\\WINDOWS\\system32\r\n\r\n"};
  size_t at = 0;
  for (const char* piece : inOrder) {
    size_t found = text.find(piece, at);
    ASSERT_NE(found, std::string::npos) << piece;
    at = found + strlen(piece);
  }
  EXPECT_EQ(at, text.size());
}

TEST(RegistryAndFileLines, TagsDataBoundsAttributesTimesAndSize) {
  const char* stack[] = {"Outer", "Inner"};
  const struct {
    size_t depth;
    const char* name;
    size_t nameLength;
    uint32_t type;
    const char *data, *line;
    size_t dataLength;
  } cases[] = {
      {2, "Count", 5, 4, "\x2c\x01\0\0", "Outer\\Inner\\Count Type: [REG_DWORD]{44 }\r\n", 4},
      {0, "", 256, 3, "", "<NO NAME> Type: [REG_BINARY]{}\r\n", 0},
      {1, "CWD", 3, 1, "C:\\Q", "Outer\\CWD Type: [REG_SZ] \"C:\\Q\"\r\n", 5},
      {0, "M", 1, 7, "one\0two\0", "M Type: [REG_MULTI_SZ] \"one\"\r\n", 9},
      {0, "Q", 1, 11, "\x07\0\0\0\0\0\0\0", "Q Type: [REG_QWORD]{7 }\r\n", 8},
      {0, "O", 1, 12, "", "O Type: [UNKNOWN]{}\r\n", 0},
      {0, "O", 1, 0xFFFFFFFF, "", "O Type: [UNKNOWN]{}\r\n", 0},
      // An unterminated string and a name filling its buffer stop at their lengths.
      {0, "NAMEXYZ", 4, 1, "abcdef", "NAME Type: [REG_SZ] \"abc\"\r\n", 3}};
  for (const auto& c : cases) {
    EXPECT_EQ(report(4096,
                     [&](ReportWriter& w) {
                       writeRegistryValueLine(w, stack, c.depth, c.name, c.nameLength, c.type,
                                              reinterpret_cast<const uint8_t*>(c.data),
                                              c.dataLength);
                     }),
              c.line);
  }
  ReportFileTime created = {true, 7, 12, 2026, 4, 5}, none = {false, 0, 0, 0, 0, 0};
  EXPECT_EQ(report(4096,
                   [&](ReportWriter& w) {
                     writeFileEntry(w, "C:\\Q", ".hidden", 0x1 | 0x20 | 0x100, created, none,
                                    created, (5ull << 32) + 1);
                   }),
            "C:\\Q\\.hidden\r\n\r\n\tAttributes: \t\t \tArchive;ReadOnly;Temporary\r\n"
            "\tCreated:\t\t \t07/12/2026 04:05;\r\n"
            "\tLast written to: \t\t07/12/2026 04:05\r\n"
            "\tFilesize: \t\t\t21474836481 bytes\r\n");
}

TEST(OsInfo, KindAndNameForEachPlatformAndVersion) {
  const std::tuple<WindowsVersion, int, const char*> cases[] = {
      {{1, 4, 0, 950, ""}, WINDOWS_95, "Microsoft Windows 95 "},
      {{1, 4, 0, 1111, " C"}, WINDOWS_95, "Microsoft Windows 95 OSR2 "},
      {{1, 4, 10, 0x040A08AE, " A "}, WINDOWS_98, "Microsoft Windows 98 SE "},
      {{1, 4, 90, 3000, ""}, WINDOWS_ME, "Microsoft Windows Me "},
      {{1, 5, 0, 1, ""}, WINDOWS_95, ""},
      {{2, 4, 0, 1381, "SP6a"}, WINDOWS_NT4, "Microsoft Windows NT version 4.0 SP6a (Build 1381) "},
      {{2, 3, 51, 1057, ""}, WINDOWS_NT351, "Microsoft Windows NT version 3.51  (Build 1057) "},
      {{2, 5, 0, 2195, "SP4"}, WINDOWS_2000, "Microsoft Windows 2000 SP4 (Build 2195)"},
      {{2, 5, 1, 0x0A280A28, "SP3"}, WINDOWS_XP, "Microsoft Windows XP SP3 (Build 2600)"},
      // No kind of its own: the gate checks the number.
      {{2, 6, 1, 7601, "Service Pack 1"}, WINDOWS_95, "Service Pack 1 (Build 7601)"},
      {{0, 3, 10, 0, ""}, WINDOWS_WIN32S, "Microsoft Win32s "},
      {{3, 10, 0, 0, ""}, WINDOWS_95, ""},
  };
  for (const auto& [version, kind, name] : cases) {
    OsInfo info(&version);
    EXPECT_EQ(kind, info.getKind()) << name;
    EXPECT_STREQ(name, info.getOsName());
  }
  OsInfo none(nullptr);
  EXPECT_EQ(WINDOWS_95, none.getKind());
  EXPECT_STREQ("", none.getOsName());
  // A service pack text without a terminator stays in bounds.
  WindowsVersion v = {2, 5, 1, 2600, {}};
  memset(v.csd, 'S', sizeof v.csd);
  OsInfo xp(&v);
  EXPECT_EQ(WINDOWS_XP, xp.getKind());
  EXPECT_EQ(0u, std::string(xp.getOsName()).find("Microsoft Windows XP SSS"));
}
