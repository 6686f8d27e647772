// The bug report's probes and dumps against what Wine really reports: a
// registry key of every value type with nested subkeys, a folder tree, the
// drives, memory and socket texts, locale names, the whole report, and the
// crash files with their reported-file lists.
#include <windows.h>

#include <gtest/gtest.h>

#include <zlib.h>

#include <cctype>
#include <cstdarg>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "app/client_contract.h"
#include "app/registry.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "report/language_name.h"
#include "report/report_dumps.h"
#include "report/system_info.h"
#include "report/system_report.h"
#include "update/file_crc.h"

namespace {

const char* const kDumpKey = "Software\\Tavelin\\VelorinDumpTest";

// Prints a measure and appends it to report_measures.txt beside the test
// program, which the test run shows after the tests (ctest keeps the output
// of passing tests to itself).
void measure(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  fputs(line, stdout);
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path)
    return;
  char* slash = strrchr(path, '\\');
  if (!slash || static_cast<size_t>(slash - path) + 22 >= sizeof path)
    return;
  strcpy(slash + 1, "report_measures.txt");
  if (FILE* f = fopen(path, "ab")) {
    fputs(line, f);
    fclose(f);
  }
}

void deleteTree(HKEY root, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyA(root, path, &key) == ERROR_SUCCESS) {
    char name[260];
    while (RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) {
      std::string inner = std::string(path) + "\\" + name;
      deleteTree(root, inner.c_str());
    }
    RegCloseKey(key);
  }
  RegDeleteKeyA(root, path);
}

void setValue(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(key);
}

std::string writerText(void (*write)(ReportWriter&, void*), void* context) {
  std::vector<char> buffer(kReportBufferSize);
  ReportWriter writer(buffer.data(), buffer.size());
  write(writer, context);
  return std::string(buffer.data(), writer.finish());
}

TEST(RegistryDump, EveryTypeDeepestKeyFirst) {
  deleteTree(HKEY_CURRENT_USER, kDumpKey);
  const std::string top = kDumpKey;
  DWORD dword = 300;
  setValue(top, "Count", REG_DWORD, &dword, 4);
  setValue(top, "", REG_SZ, "default", 8);
  setValue(top + "\\Middle", "Path", REG_EXPAND_SZ, "%TMP%\\x", 9);
  setValue(top + "\\Middle", "Empty", REG_BINARY, "", 0);
  setValue(top + "\\Middle\\Deep", "List", REG_MULTI_SZ, "one\0two\0", 9);
  setValue(top + "\\Middle\\Deep", "Big", REG_DWORD_BIG_ENDIAN, "\x01\x02\x03\x04", 4);
  setValue(top + "\\Middle\\Deep", "Q", REG_QWORD, "\x09\0\0\0\0\0\0\0", 8);
  setValue(top + "\\Middle\\Deep", "N", REG_NONE, "\x05", 1);
  std::string longName(300, 'n');  // longer than the name buffer
  std::string bigData(3000, 'd');  // longer than the data buffer
  setValue(top, "Large", REG_SZ, bigData.c_str(), static_cast<DWORD>(bigData.size() + 1));

  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, kDumpKey, &key));
  std::string text =
      writerText([](ReportWriter& w, void* k) { dumpRegistryKey(static_cast<HKEY>(k), w); }, key);
  RegCloseKey(key);
  deleteTree(HKEY_CURRENT_USER, kDumpKey);

  auto at = [&](const std::string& line) { return text.find(line + "\r\n"); };
  size_t deep = at("Middle\\Deep\\List Type: [REG_MULTI_SZ] \"one\"");
  size_t middle = at("Middle\\Path Type: [REG_EXPAND_SZ] \"%TMP%\\x\"");
  size_t own = at("Count Type: [REG_DWORD]{44 }");
  ASSERT_NE(deep, std::string::npos) << text;
  ASSERT_NE(middle, std::string::npos) << text;
  ASSERT_NE(own, std::string::npos) << text;
  EXPECT_LT(deep, middle);
  EXPECT_LT(middle, own);
  EXPECT_NE(at("Middle\\Deep\\Big Type: [REG_DWORD_BIG_ENDIAN]{1 }"), std::string::npos);
  EXPECT_NE(at("Middle\\Deep\\Q Type: [REG_QWORD]{9 }"), std::string::npos);
  EXPECT_NE(at("Middle\\Deep\\N Type: [REG_NONE]{5 }"), std::string::npos);
  EXPECT_NE(at("Middle\\Empty Type: [REG_BINARY]{}"), std::string::npos);
  EXPECT_NE(at("<NO NAME> Type: [REG_SZ] \"default\""), std::string::npos);
  // The value too large for the data buffer keeps its name and type.
  EXPECT_NE(at("Large Type: [REG_SZ] \"\""), std::string::npos) << text;
}

TEST(FolderListing, TreeWithHiddenNamesAndSkippedDotFolders) {
  char temp[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
  std::string base = std::string(temp) + "velorin_list_test";
  std::string sub = base + "\\inner";
  std::string dotted = base + "\\.skipped";
  CreateDirectoryA(base.c_str(), nullptr);
  CreateDirectoryA(sub.c_str(), nullptr);
  CreateDirectoryA(dotted.c_str(), nullptr);
  auto make = [](const std::string& path, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::string bytes(size, 'b');
    fwrite(bytes.data(), 1, size, f);
    fclose(f);
  };
  make(base + "\\.hidden", 3);
  make(sub + "\\data.bin", 70000);
  make(dotted + "\\never.txt", 1);

  std::string text = writerText(
      [](ReportWriter& w, void* folder) {
        EXPECT_EQ(1, listFolder(static_cast<std::string*>(folder)->c_str(), w));
      },
      &base);
  std::string missing = base + "\\gone";
  std::string none = writerText(
      [](ReportWriter& w, void* folder) {
        EXPECT_EQ(0, listFolder(static_cast<std::string*>(folder)->c_str(), w));
      },
      &missing);
  DeleteFileA((base + "\\.hidden").c_str());
  DeleteFileA((sub + "\\data.bin").c_str());
  DeleteFileA((dotted + "\\never.txt").c_str());
  RemoveDirectoryA(dotted.c_str());
  RemoveDirectoryA(sub.c_str());
  RemoveDirectoryA(base.c_str());

  EXPECT_EQ(none, "");
  EXPECT_NE(text.find(base + "\\.hidden\r\n\r\n\tAttributes: \t\t \t"), std::string::npos) << text;
  EXPECT_NE(text.find(sub + "\\data.bin\r\n\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\tFilesize: \t\t\t70000 bytes\r\n"), std::string::npos);
  EXPECT_NE(text.find("\tFilesize: \t\t\t3 bytes\r\n"), std::string::npos);
  EXPECT_EQ(text.find("never.txt"), std::string::npos);
  EXPECT_NE(text.find("\tLast written to: \t\t"), std::string::npos);
}

bool matchesSize(const std::string& text, int decimals) {
  // "<digits>[.<decimals>] <unit>"
  size_t blank = text.find(' ');
  if (blank == std::string::npos || blank == 0)
    return false;
  std::string number = text.substr(0, blank);
  std::string unit = text.substr(blank + 1);
  size_t dot = number.find('.');
  if (decimals == 0 ? dot != std::string::npos
                    : (dot == std::string::npos || number.size() - dot - 1 != size_t(decimals)))
    return false;
  return unit == "bytes" || unit == "KB" || unit == "MB" || unit == "GB" || unit == "TB";
}

TEST(SystemProbes, MemorySocketsDrivesAndLocalesAsWineReportsThem) {
  const SystemInfo& info = g_xSystemInfo;
  EXPECT_TRUE(matchesSize(info.getMemory().get(0), 0)) << info.getMemory().get(0);
  for (int i = 1; i < 6; ++i)
    EXPECT_TRUE(matchesSize(info.getMemory().get(i), 2)) << info.getMemory().get(i);
  EXPECT_STREQ(info.getSockets().get(0), "2.0");
  EXPECT_STREQ(info.getSockets().get(1), "2.2");
  EXPECT_STRNE(info.getSockets().get(2), "");
  // Windows Sockets 2 reports no socket limit (0); the text is its number.
  EXPECT_EQ(info.getSockets().get(4), std::to_string(atoi(info.getSockets().get(4))));
  std::string ip = info.getSockets().get(5);
  int dots = 0;
  for (char c : ip)
    dots += c == '.';
  EXPECT_TRUE(ip == "Unknown" || dots == 3) << ip;
  EXPECT_STRNE(info.getSockets().get(6), "");

  ASSERT_GE(info.getDrives().count(), 1u);
  bool sawC = false;
  for (size_t i = 0; i < info.getDrives().count(); ++i) {
    const DriveInfo& drive = info.getDrives().at(i);
    EXPECT_TRUE(drive.nType == DRIVE_FIXED || drive.nType == DRIVE_REMOTE) << drive.szRoot;
    if (std::string(drive.szRoot) == "C:\\") {
      sawC = true;
      EXPECT_STREQ(drive.szType, "Fixed drive");
      EXPECT_TRUE(matchesSize(drive.szTotal, 2)) << drive.szTotal;
      EXPECT_TRUE(matchesSize(drive.szFree, 2)) << drive.szFree;
    }
  }
  EXPECT_TRUE(sawC);
  SYSTEM_INFO system = {};
  GetSystemInfo(&system);
  EXPECT_EQ(std::string(info.getCpuCount()), std::to_string(system.dwNumberOfProcessors));

  char name[kLanguageNameSize];
  languageName(GetSystemDefaultLCID(), name, sizeof name);
  EXPECT_STRNE(name, "Unknown") << std::hex << GetSystemDefaultLCID();
  // One run: the time from this process's creation to its first window
  // shown, and the share of it spent building the system information
  // before main.
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "VelorinProbeWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "VelorinProbeWindow", "probe", WS_POPUP, 0, 0, 100, 100, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
  if (window) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
      return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const unsigned long long toWindowUs = (ticks(now) - ticks(created)) / 10;
    measure(
        "process start to first window: %llu us, of which SystemInfo "
        "construction %lu us (%.1f%%)\n",
        toWindowUs, info.getConstructionMicroseconds(),
        toWindowUs ? 100.0 * info.getConstructionMicroseconds() / toWindowUs : 0.0);
    DestroyWindow(window);
  }
  measure(
      "SystemInfo construction under Wine: %lu us (speed measurement %lu ms); "
      "processor \"%s\", speed %s\n",
      info.getConstructionMicroseconds(), info.getCpu().getMeasureMilliseconds(), info.getCpuName(),
      info.getCpuSpeed());
}

// Crash files in a folder of their own recorded as the install folder; the
// test's settings are put back afterwards.
class CrashFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    m_folder = std::string(temp) + "velorin_crash_test";
    CreateDirectoryA(m_folder.c_str(), nullptr);
    readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, m_savedCwd, sizeof m_savedCwd);
    writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, m_folder.c_str());
    for (const char* v : {VALUE_USG_REPORTS, VALUE_DBG_REPORTS, VALUE_LOG_REPORTS})
      deleteRegistryValue(HKEY_CURRENT_USER, DEBUG_KEY, v);
  }
  void TearDown() override {
    deleteCrashFiles();
    DeleteFileA((m_folder + "\\user.dat").c_str());
    RemoveDirectoryA(m_folder.c_str());
    for (const char* v : {VALUE_USG_REPORTS, VALUE_DBG_REPORTS, VALUE_LOG_REPORTS})
      deleteRegistryValue(HKEY_CURRENT_USER, DEBUG_KEY, v);
    if (m_savedCwd[0])
      writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, m_savedCwd);
    else
      deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD);
  }
  void write(const char* name, const std::string& bytes) {
    FILE* f = fopen((m_folder + "\\" + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  std::string report(const char* comment) {
    std::vector<char> buffer(kReportBufferSize);
    unsigned length = 0;
    buildSystemReport(buffer.data(), &length, comment);
    return std::string(buffer.data(), length);
  }
  std::string m_folder;
  char m_savedCwd[MAX_PATH] = "";
};

TEST_F(CrashFiles, ReportedOnceThenOfferedAgainWhenChanged) {
  EXPECT_FALSE(hasUnreportedCrashFiles());
  write("core.dbg", std::string("dump\0bytes", 10));
  write("user.dat", "player data");
  ASSERT_TRUE(hasUnreportedCrashFiles());

  std::string text = report("my comment");
  EXPECT_EQ(text.find("---------------------\r\nPROCESSOR INFORMATION\r\n"), 0u);
  EXPECT_NE(text.find("USER COMMENTS\r\n-------------\r\nmy comment\r\n\r\n"), std::string::npos);
  EXPECT_NE(text.find(m_folder + "\\core.dbg\r\n\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nHKEY_CURRENT_USER\\Software\\Tavelin\\QuenzarClient\r\n\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("CWD Type: [REG_SZ] \"" + m_folder + "\"\r\n"), std::string::npos);
  size_t user = text.find(
      "\r\n\r\n------------\r\nUSER.DAT Contents (11 bytes)\r\n------------\r\n"
      "player data");
  size_t dbg =
      text.find(std::string("\r\n\r\n------------\r\nDBG Contents (10 bytes)\r\n"
                            "------------\r\ndump\0bytes",
                            64));
  ASSERT_NE(user, std::string::npos);
  ASSERT_NE(dbg, std::string::npos);
  EXPECT_LT(user, dbg);
  EXPECT_EQ(dbg + 67, text.size());  // the raw bytes end the report
  EXPECT_EQ(text.find("USG Contents"), std::string::npos);

  recordReportedFiles(kAllCrashFiles);
  EXPECT_FALSE(hasUnreportedCrashFiles());
  EXPECT_FALSE(isDbgUnreported(calculateFileCrc((m_folder + "\\core.dbg").c_str(), false)));
  EXPECT_EQ(report(nullptr).find("DBG Contents"), std::string::npos);
  EXPECT_NE(report(nullptr).find("USER.DAT Contents"), std::string::npos);

  write("core.dbg", "changed");
  EXPECT_TRUE(hasUnreportedCrashFiles());
  recordReportedFiles(kAllCrashFiles);
  uint8_t list[1024];
  DWORD size = sizeof list;
  ASSERT_EQ(0, readRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_DBG_REPORTS, list, &size));
  EXPECT_EQ(size, 8u);  // both versions listed

  deleteCrashFiles();
  EXPECT_EQ(GetFileAttributesA((m_folder + "\\core.dbg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA((m_folder + "\\user.dat").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CrashFiles, FullListDropsOldestAndUnreadableListCountsEmpty) {
  write("quenzar.usg", "usage");
  const uint32_t crc = calculateFileCrc((m_folder + "\\quenzar.usg").c_str(), false);
  std::vector<uint8_t> full(1024);
  for (size_t i = 0; i < 1024; i += 4)
    full[i] = static_cast<uint8_t>(i / 4 + 1), full[i + 1] = 0x77;
  writeRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_USG_REPORTS, full.data(), 1024);
  EXPECT_TRUE(isUsgUnreported(crc));
  recordReportedFiles(kAllCrashFiles);
  uint8_t list[1024];
  DWORD size = sizeof list;
  ASSERT_EQ(0, readRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_USG_REPORTS, list, &size));
  EXPECT_EQ(size, 1024u);
  EXPECT_EQ(list[0], 2);  // the first entry made room
  EXPECT_FALSE(isUsgUnreported(crc));
  EXPECT_FALSE(hasUnreportedCrashFiles());

  writeRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_USG_REPORTS, list, 6);
  EXPECT_TRUE(isUsgUnreported(crc));  // six bytes: not a list
  recordReportedFiles(kAllCrashFiles);
  size = sizeof list;
  ASSERT_EQ(0, readRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_USG_REPORTS, list, &size));
  EXPECT_EQ(size, 4u);
}

TEST_F(CrashFiles, CrashFilesGoInWholeOrStayForTheNextReport) {
  // A large "user.dat" is cut within its bound and cannot push the crash
  // files out; a dump too large for any report is kept, the log after it
  // still goes in whole.
  write("user.dat", std::string(200000, 'U'));
  write("quenzar.usg", "usage");
  write("core.dbg", std::string(200000, 'D'));
  const std::string log(40000, 'L');
  write("quenzar.log", log);
  std::vector<char> buffer(kReportBufferSize);
  unsigned length = 0;
  const unsigned whole = buildSystemReport(buffer.data(), &length, nullptr);
  std::string text(buffer.data(), length);
  EXPECT_EQ(kCrashUsageFile | kCrashLogFile, whole);
  size_t user = text.find("USER.DAT Contents (200000 bytes)\r\n------------\r\nUUU");
  size_t cut = text.find("UUU\r\n[report cut here: ", user);
  size_t usage = text.find("USG Contents (5 bytes)\r\n------------\r\nusage\r\n\r\n");
  size_t kept = text.find("\r\n\r\n[DBG file of 200000 bytes kept for a later report]\r\n");
  ASSERT_NE(user, std::string::npos);
  ASSERT_NE(cut, std::string::npos) << "user.dat cut at its own bound";
  EXPECT_LT(cut - user, kReportUserDataBound);
  EXPECT_LT(cut, usage);
  EXPECT_LT(usage, kept);
  EXPECT_EQ(text.find("DBG Contents"), std::string::npos);
  const std::string logSection = "LOG Contents (40000 bytes)\r\n------------\r\n" + log;
  ASSERT_GT(text.size(), logSection.size());
  EXPECT_EQ(text.substr(text.size() - logSection.size()), logSection);

  // Sent: only what the report carried is recorded and deleted.
  recordReportedFiles(whole);
  deleteCrashFiles(whole);
  EXPECT_EQ(GetFileAttributesA((m_folder + "\\quenzar.usg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((m_folder + "\\quenzar.log").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(isDbgUnreported(calculateFileCrc((m_folder + "\\core.dbg").c_str(), false)));
  EXPECT_TRUE(hasUnreportedCrashFiles());
}

// A report that cannot be built counts as tried: the run does not come back
// to ask about the same files, and nothing is left to send.
TEST_F(CrashFiles, ReportThatCannotBeBuiltIsTriedOnce) {
  write("quenzar.usg", "usage");
  setReportBodyBuilderForTesting([](const void*, size_t, size_t* length) -> uint8_t* {
    *length = 0;
    return nullptr;
  });
  EXPECT_FALSE(prepareBugReport("no memory"));
  setReportBodyBuilderForTesting(nullptr);
  EXPECT_TRUE(wasBugReportAttempted());
  EXPECT_FALSE(isBugReportPrepared());
  EXPECT_FALSE(postBugReport());
  EXPECT_TRUE(hasUnreportedCrashFiles());
}

// A large report: prepared (built, sealed, compressed and
// encoded) and timed beside zlib's compress of the same report text alone.
TEST_F(CrashFiles, FullReportPreparedAndTimed) {
  write("user.dat", std::string(200000, 'U'));
  write("quenzar.log", std::string(60000, 'L'));
  EXPECT_FALSE(isBugReportPrepared());
  LARGE_INTEGER frequency, t0, t1, t2, t3;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&t0);
  prepareBugReport("timed");
  QueryPerformanceCounter(&t1);
  EXPECT_TRUE(isBugReportPrepared());
  freeBugReport();  // as the shutdown does
  EXPECT_FALSE(isBugReportPrepared());

  std::string text = report("timed");
  ASSERT_GT(text.size(), kReportBufferSize / 2);
  uLongf packedLength = compressBound(static_cast<uLong>(text.size()));
  std::vector<Bytef> packed(packedLength);
  QueryPerformanceCounter(&t2);
  ASSERT_EQ(Z_OK, compress(packed.data(), &packedLength,
                           reinterpret_cast<const Bytef*>(text.data()), text.size()));
  QueryPerformanceCounter(&t3);
  auto us = [&](LARGE_INTEGER a, LARGE_INTEGER b) {
    return static_cast<unsigned long>((b.QuadPart - a.QuadPart) * 1000000 / frequency.QuadPart);
  };
  measure(
      "prepareBugReport on a %zu-byte report: %lu us; zlib compress of the same "
      "text alone: %lu us\n",
      text.size(), us(t0, t1), us(t2, t3));
}

}  // namespace
