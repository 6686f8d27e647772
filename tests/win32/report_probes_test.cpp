// The settings store, and the bug report's walks of the real machine: a
// registry key of nested subkeys, a folder tree, the drive filter, the crash
// files with their reported-file lists, and the figures of building the report.
#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/client_contract.h"
#include "app/registry.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "report/report_dumps.h"
#include "report/system_info.h"
#include "report/system_report.h"
#include "tests/test_files.h"

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

void storeRaw(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key));
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

const char* const kKey = "Software\\Tavelin\\VelorinRegistryTest";
const char* const kMissingKey = "Software\\Tavelin\\VelorinRegistryTest\\Missing";

// The settings store against Wine's registry, under a key of its own.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
  // Reads into a buffer of size bytes that starts as before; '#' marks past it.
  std::string read(const char* name, DWORD size, const char* before = "") {
    char buffer[64];
    memset(buffer, '#', sizeof buffer);
    strcpy(buffer, before);
    EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, kKey, name, buffer, size));
    EXPECT_EQ('#', buffer[size]) << "wrote past the buffer";
    return std::string(buffer, strnlen(buffer, size));
  }
};

TEST_F(Registry, StringsBinaryValuesMissingValuesNestedKeysAndTheBufferLimit) {
  std::string nested = std::string(kKey) + "\\a\\b";
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, nested.c_str(), "v", "deep"));
  char buffer[16] = "x";
  EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, nested.c_str(), "v", buffer, sizeof buffer));
  EXPECT_STREQ("deep", buffer);
  RegDeleteKeyA(HKEY_CURRENT_USER, nested.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kKey) + "\\a").c_str());
  EXPECT_NE(0, readRegistryString(HKEY_CURRENT_USER, kMissingKey, "CWD", buffer, sizeof buffer));
  EXPECT_EQ('\0', buffer[0]);
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "other", "v"));
  EXPECT_EQ("caller's", read("CWD", 16, "caller's"));  // untouched: callers zero their buffers
  EXPECT_EQ(0, deleteRegistryValue(HKEY_CURRENT_USER, kKey, "never-there"));
  EXPECT_NE(0, deleteRegistryValue(HKEY_CURRENT_USER, kMissingKey, "CWD"));
  EXPECT_EQ(0, deleteRegistryValue(HKEY_CURRENT_USER, kKey, "other"));
  EXPECT_EQ("", read("other", 16));

  // A value that fills the buffer without a terminator did not fit and reads
  // as empty. Wine adds a terminator to a REG_SZ that does not fit, so the raw
  // bytes go in as REG_BINARY too (the reader does not look at the type).
  std::string e16(16, 'e');
  for (DWORD type : {DWORD(REG_SZ), DWORD(REG_BINARY)}) {
    storeRaw(kKey, "exact", type, e16.data(), 16);
    EXPECT_EQ("", read("exact", 16)) << type;
    storeRaw(kKey, "short", type, e16.data(), 15);
    EXPECT_EQ(std::string(15, 'e'), read("short", 16)) << type;
  }
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "long", std::string(40, 'L').c_str()));
  EXPECT_EQ("", read("long", 16));
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "fits", std::string(15, 'f').c_str()));
  EXPECT_EQ(std::string(15, 'f'), read("fits", 16));
  HKEY key = nullptr;
  DWORD type = 0, stored = 0;  // stored with its terminator, as other readers expect
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, kKey, &key));
  RegQueryValueExA(key, "fits", nullptr, &type, nullptr, &stored);
  RegCloseKey(key);
  EXPECT_EQ(std::make_pair(DWORD(REG_SZ), DWORD(16)), std::make_pair(type, stored));

  const unsigned char crcs[8] = {1, 2, 3, 4, 0xAA, 0xBB, 0xCC, 0xDD};
  ASSERT_EQ(0, writeRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", crcs, sizeof crcs));
  unsigned char bytes[1024] = {};
  DWORD size = sizeof bytes;
  EXPECT_EQ(0, readRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", bytes, &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ(0, memcmp(crcs, bytes, sizeof crcs));
  size = 4;  // too small for the value
  EXPECT_EQ(1, readRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", bytes, &size));
  size = sizeof bytes;
  EXPECT_EQ(1, readRegistryBinary(HKEY_CURRENT_USER, kKey, "dbgBugReports", bytes, &size));
  LONG missingKey = readRegistryBinary(HKEY_CURRENT_USER, kMissingKey, "x", bytes, &size);
  EXPECT_TRUE(missingKey != 0 && missingKey != 1) << missingKey;
}

// The lines' formats are the unit tests'; here the walk and the buffers.
TEST(RegistryDump, DeepestKeyFirstAndValuesBeyondTheBuffers) {
  const std::string top = "Software\\Tavelin\\VelorinDumpTest";
  const std::string bigData(3000, 'd');  // longer than the data buffer
  const struct {
    std::string key;
    const char* name;
    DWORD type;
    const void* data;
    DWORD size;
  } values[] = {{top, "", REG_SZ, "default", 8},
                {top + "\\Middle", "Path", REG_EXPAND_SZ, "%TMP%\\x", 9},
                {top + "\\Middle\\Deep", "List", REG_MULTI_SZ, "one\0two\0", 9},
                {top, "Large", REG_SZ, bigData.c_str(), DWORD(bigData.size() + 1)}};
  for (const auto& v : values)
    storeRaw(v.key, v.name, v.type, v.data, v.size);
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, top.c_str(), &key));
  std::string text = writerText([key](ReportWriter& w) { dumpRegistryKey(key, w); });
  RegCloseKey(key);
  for (const char* sub : {"\\Middle\\Deep", "\\Middle", ""})
    RegDeleteKeyA(HKEY_CURRENT_USER, (top + sub).c_str());
  // The value too large for the data buffer keeps its name and type.
  size_t at = 0;
  for (const char* line :
       {"Middle\\Deep\\List Type: [REG_MULTI_SZ] \"one\"\r\n",
        "Middle\\Path Type: [REG_EXPAND_SZ] \"%TMP%\\x\"\r\n", "Large Type: [REG_SZ] \"\"\r\n"}) {
    at = text.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << text;
  }
  EXPECT_NE(text.find("<NO NAME> Type: [REG_SZ] \"default\"\r\n"), std::string::npos) << text;
}

TEST(FolderListing, TreeWithHiddenNamesAndSkippedDotFolders) {
  const std::string base = tempPath("velorin_list_test");
  const char* folders[] = {"", "\\inner", "\\.skipped"};
  const char* files[] = {"\\.hidden", "\\inner\\data.bin", "\\.skipped\\never.txt"};
  for (const char* f : folders)
    CreateDirectoryA((base + f).c_str(), nullptr);
  for (const char* f : files)
    ASSERT_TRUE(writeFile(base + f, std::string(f[2] == 'h' ? 3 : 70000, 'b')));
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
    ASSERT_TRUE(writeFile(m_folder + "\\" + name, bytes));
  }
  std::string m_folder = tempPath("velorin_crash_test");
  char m_savedCwd[MAX_PATH] = "";
};

// A large "user.dat" is cut within its bound and cannot push the crash files
// out. A report that cannot be built counts as tried: the run does not come
// back to ask about the same files, and nothing is left to send. A full one is
// timed beside zlib's compress of the same report text alone. A file kept for
// a later report, and what is recorded and deleted, are the bug report
// scenario's; the lists' rules the unit tests'.
TEST_F(CrashFiles, LargeUserDataIsCutWithinItsBoundAndAFailedReportIsTriedOnce) {
  write("user.dat", std::string(200000, 'U'));
  const std::string log(40000, 'L');
  write("quenzar.log", log);
  std::vector<char> buffer(kReportBufferSize);
  unsigned length = 0;
  EXPECT_EQ(unsigned(kCrashLogFile), buildSystemReport(buffer.data(), &length, nullptr));
  std::string text(buffer.data(), length);
  size_t user = text.find("USER.DAT Contents (200000 bytes)\r\n------------\r\nUUU");
  size_t cut = text.find("UUU\r\n[report cut here: ", user);
  ASSERT_NE(user, std::string::npos);
  ASSERT_NE(cut, std::string::npos) << "user.dat cut at its own bound";
  EXPECT_LT(cut - user, kReportUserDataBound);
  const std::string logSection = "LOG Contents (40000 bytes)\r\n------------\r\n" + log;
  ASSERT_GT(text.size(), logSection.size());
  EXPECT_EQ(text.substr(text.size() - logSection.size()), logSection);

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
