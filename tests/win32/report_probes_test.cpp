// The bug report's walks of the real machine: a registry key of nested
// subkeys, a folder tree, the drive filter, the crash files with their
// reported-file lists, and the figures of building the report.
#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/client_contract.h"
#include "app/registry.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "report/report_dumps.h"
#include "report/system_info.h"
#include "report/system_report.h"
#include "update/file_crc.h"

namespace {

// A figure line, printed and appended to report_measures.txt beside the test
// program, which the test run shows after the tests.
void measure(const char* line) {
  fputs(line, stdout);
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path - 24);
  if (char* slash = n ? strrchr(path, '\\') : nullptr) {
    strcpy(slash + 1, "report_measures.txt");
    std::ofstream(path, std::ios::binary | std::ios::app) << line;
  }
}

unsigned long microseconds(const LARGE_INTEGER& from) {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<unsigned long>((now.QuadPart - from.QuadPart) * 1000000 / frequency.QuadPart);
}

template <class Write>
std::string writerText(Write write) {
  std::vector<char> buffer(kReportBufferSize);
  ReportWriter writer(buffer.data(), buffer.size());
  write(writer);
  return std::string(buffer.data(), writer.finish());
}

std::string tempPath(const char* name) {
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  return temp + std::string(name);
}

void writeFile(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(std::ofstream(path, std::ios::binary) << bytes) << path;
}

TEST(RegistryDump, DeepestKeyFirstAndValuesBeyondTheBuffers) {
  const std::string top = "Software\\Tavelin\\VelorinDumpTest";
  const std::string bigData(3000, 'd');  // longer than the data buffer
  DWORD dword = 300;
  const struct {
    std::string key;
    const char* name;
    DWORD type;
    const void* data;
    DWORD size;
  } values[] = {{top, "Count", REG_DWORD, &dword, 4},
                {top, "", REG_SZ, "default", 8},
                {top + "\\Middle", "Path", REG_EXPAND_SZ, "%TMP%\\x", 9},
                {top + "\\Middle\\Deep", "List", REG_MULTI_SZ, "one\0two\0", 9},
                {top, "Large", REG_SZ, bigData.c_str(), DWORD(bigData.size() + 1)}};
  HKEY key = nullptr;
  for (const auto& v : values) {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, v.key.c_str(), &key));
    RegSetValueExA(key, v.name, 0, v.type, static_cast<const BYTE*>(v.data), v.size);
    RegCloseKey(key);
  }
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, top.c_str(), &key));
  std::string text = writerText([key](ReportWriter& w) { dumpRegistryKey(key, w); });
  RegCloseKey(key);
  for (const char* sub : {"\\Middle\\Deep", "\\Middle", ""})
    RegDeleteKeyA(HKEY_CURRENT_USER, (top + sub).c_str());
  size_t at = 0;
  for (const char* line : {"Middle\\Deep\\List Type: [REG_MULTI_SZ] \"one\"\r\n",
                           "Middle\\Path Type: [REG_EXPAND_SZ] \"%TMP%\\x\"\r\n",
                           "Count Type: [REG_DWORD]{44 }\r\n"}) {
    at = text.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << text;
  }
  // The value too large for the data buffer keeps its name and type.
  for (const char* line :
       {"<NO NAME> Type: [REG_SZ] \"default\"\r\n", "Large Type: [REG_SZ] \"\"\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
}

TEST(FolderListing, TreeWithHiddenNamesAndSkippedDotFolders) {
  const std::string base = tempPath("velorin_list_test");
  const char* folders[] = {"", "\\inner", "\\.skipped"};
  const char* files[] = {"\\.hidden", "\\inner\\data.bin", "\\.skipped\\never.txt"};
  for (const char* f : folders)
    CreateDirectoryA((base + f).c_str(), nullptr);
  for (const char* f : files)
    writeFile(base + f, std::string(f[2] == 'h' ? 3 : 70000, 'b'));
  std::string text =
      writerText([&](ReportWriter& w) { EXPECT_EQ(1, listFolder(base.c_str(), w)); });
  std::string none =
      writerText([&](ReportWriter& w) { EXPECT_EQ(0, listFolder((base + "\\gone").c_str(), w)); });
  for (const char* f : files)
    DeleteFileA((base + f).c_str());
  for (int i = 2; i >= 0; --i)
    RemoveDirectoryA((base + folders[i]).c_str());
  EXPECT_EQ(none, "");
  for (const std::string& part :
       {base + "\\.hidden\r\n\r\n\tAttributes: \t\t \t", base + "\\inner\\data.bin\r\n\r\n",
        std::string("\tFilesize: \t\t\t70000 bytes\r\n"),
        std::string("\tFilesize: \t\t\t3 bytes\r\n")})
    EXPECT_NE(text.find(part), std::string::npos) << part << text;
  EXPECT_EQ(text.find("never.txt"), std::string::npos);
}

// Only the drive types asked for are listed, each with its sizes; the
// construction is timed beside one window created and shown.
TEST(SystemProbes, DriveFilterAndConstructionFigure) {
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  SystemInfo info(true, kDriveFixed, 2, 0);
  const unsigned long constructionUs = microseconds(start);
  ASSERT_GE(info.getDrives().count(), 1u);
  for (size_t i = 0; i < info.getDrives().count(); ++i) {
    const DriveInfo& drive = info.getDrives().at(i);
    EXPECT_STREQ(drive.szType, "Fixed drive") << drive.szRoot;
    EXPECT_NE(strstr(drive.szTotal, "."), nullptr) << drive.szTotal;
  }
  QueryPerformanceCounter(&start);
  HWND window = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  const unsigned long windowUs = microseconds(start);
  DestroyWindow(window);
  char line[200];
  snprintf(line, sizeof line,
           "SystemInfo construction (before main): %lu us; one window created and shown: %lu us\n",
           constructionUs, windowUs);
  measure(line);
}

// Crash files in a folder of their own recorded as the install folder; the
// test's settings are put back afterwards.
class CrashFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(m_folder.c_str(), nullptr);
    readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, m_savedCwd, sizeof m_savedCwd);
    writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, m_folder.c_str());
    clearLists();
  }
  void TearDown() override {
    deleteCrashFiles();
    DeleteFileA((m_folder + "\\user.dat").c_str());
    RemoveDirectoryA(m_folder.c_str());
    clearLists();
    if (m_savedCwd[0])
      writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, m_savedCwd);
    else
      deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD);
  }
  void clearLists() {
    for (const char* v : {VALUE_USG_REPORTS, VALUE_DBG_REPORTS, VALUE_LOG_REPORTS})
      deleteRegistryValue(HKEY_CURRENT_USER, DEBUG_KEY, v);
  }
  void write(const char* name, const std::string& bytes) {
    writeFile(m_folder + "\\" + name, bytes);
  }
  bool exists(const char* name) {
    return GetFileAttributesA((m_folder + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  uint32_t crc(const char* name) {
    return calculateFileCrc((m_folder + "\\" + name).c_str(), false);
  }
  std::string m_folder = tempPath("velorin_crash_test");
  char m_savedCwd[MAX_PATH] = "";
};

// A full list drops its oldest entry; a stored list that is not whole
// entries counts as empty and is started afresh.
TEST_F(CrashFiles, FullListDropsOldestAndUnreadableListCountsEmpty) {
  write("quenzar.usg", "usage");
  std::vector<uint8_t> list(1024);
  for (size_t i = 0; i < 1024; i += 4)
    list[i] = static_cast<uint8_t>(i / 4 + 1), list[i + 1] = 0x77;
  for (DWORD stored : {1024u, 6u}) {
    writeRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_USG_REPORTS, list.data(), stored);
    EXPECT_TRUE(isUsgUnreported(crc("quenzar.usg")));
    EXPECT_TRUE(hasUnreportedCrashFiles());
    recordReportedFiles(kAllCrashFiles);
    DWORD size = 1024;
    ASSERT_EQ(
        0, readRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_USG_REPORTS, list.data(), &size));
    EXPECT_EQ(size, stored == 1024 ? 1024u : 4u);
    EXPECT_FALSE(isUsgUnreported(crc("quenzar.usg")));
    EXPECT_FALSE(hasUnreportedCrashFiles());
  }
}

// A large "user.dat" is cut within its bound and cannot push the crash files
// out; a dump too large for any report is kept, the log after it still goes
// in whole and ends the report. Only what the report carried is recorded
// and deleted.
TEST_F(CrashFiles, CrashFilesGoInWholeOrStayForTheNextReport) {
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
  recordReportedFiles(whole);
  deleteCrashFiles(whole);
  EXPECT_FALSE(exists("quenzar.usg") || exists("quenzar.log"));
  EXPECT_TRUE(exists("user.dat"));
  EXPECT_TRUE(isDbgUnreported(crc("core.dbg")));
  EXPECT_TRUE(hasUnreportedCrashFiles());
}

// A report that cannot be built counts as tried: the run does not come back
// to ask about the same files, and nothing is left to send. A full one is
// timed beside zlib's compress of the same report text alone.
TEST_F(CrashFiles, ReportThatCannotBeBuiltIsTriedOnceAndAFullOneIsTimed) {
  write("user.dat", std::string(200000, 'U'));
  write("quenzar.log", std::string(60000, 'L'));
  setReportBodyBuilderForTesting([](const void*, size_t, size_t* length) -> uint8_t* {
    *length = 0;
    return nullptr;
  });
  EXPECT_FALSE(prepareBugReport("no memory"));
  setReportBodyBuilderForTesting(nullptr);
  EXPECT_TRUE(wasBugReportAttempted());
  EXPECT_FALSE(isBugReportPrepared() || postBugReport());
  EXPECT_TRUE(hasUnreportedCrashFiles());

  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  EXPECT_TRUE(prepareBugReport("timed"));
  const unsigned long prepareUs = microseconds(start);
  EXPECT_TRUE(isBugReportPrepared());
  freeBugReport();  // as the shutdown does
  EXPECT_FALSE(isBugReportPrepared());
  std::vector<char> buffer(kReportBufferSize);
  unsigned length = 0;
  buildSystemReport(buffer.data(), &length, "timed");
  uLongf packedLength = compressBound(length);
  std::vector<Bytef> packed(packedLength);
  QueryPerformanceCounter(&start);
  ASSERT_EQ(Z_OK, compress(packed.data(), &packedLength,
                           reinterpret_cast<const Bytef*>(buffer.data()), length));
  char line[200];
  snprintf(line, sizeof line,
           "prepareBugReport on a %u-byte report: %lu us; zlib compress of the same text alone: "
           "%lu us\n",
           length, prepareUs, microseconds(start));
  measure(line);
}

}  // namespace
