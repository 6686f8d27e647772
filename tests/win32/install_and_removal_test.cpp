// Install actions, removal, process control and a failed client start on real
// Win32 (Wine). Links loaded back, a reused process id (another file, another
// checksum) and a start that succeeds are the install and story scenarios'.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/process_control.h"
#include "app/registry.h"
#include "install/directory_path.h"
#include "install/folder_tree.h"
#include "install/install_actions.h"
#include "install/shell_folders.h"
#include "install/shortcuts.h"
#include "install/uninstall.h"
#include "tests/test_files.h"
#include "ui/client_launch.h"
#include "update/download_state.h"
#include "update/file_crc.h"

namespace {

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = tempPath("velorin-install-" + std::to_string(GetCurrentProcessId()));
    CreateDirectoryA(m_root.c_str(), nullptr);
    ASSERT_TRUE(exists(m_root));
  }
  void TearDown() override { deleteTree((m_root + "\\").c_str()); }
  std::string path(const std::string& relative) const { return m_root + "\\" + relative; }

  std::string m_root;
};

}  // namespace

TEST_F(ScratchFolder, CreateDirectoryPathMakesEveryLevelAndAShortcutNeedsItsFolder) {
  CoInitialize(nullptr);  // as WinMain does once at start-up
  EXPECT_TRUE(FAILED(createShortcut("C:\\q.exe", path("missing\\x.lnk").c_str(), "d", nullptr)));
  CoUninitialize();
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(m_root.c_str()));
  EXPECT_TRUE(createDirectoryPath(""));
  EXPECT_TRUE(createDirectoryPath(".\\r/s\\t"));  // relative, both separators
  EXPECT_TRUE(createDirectoryPath("r\\s\\t\\"));  // a trailing "\", levels that exist
  writeFile("r\\file", "x");
  EXPECT_FALSE(createDirectoryPath("r\\file\\sub")) << "a file where a folder should be";
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(exists(path("r\\s\\t")));
  EXPECT_TRUE(createDirectoryPath(path("a\\b\\c").c_str()));
  EXPECT_TRUE(exists(path("a\\b\\c")));
}

// Read-only files and nested folders removed are the install scenario's.
TEST_F(ScratchFolder, DeleteTreeKeepsItsNeighbourAndLinkTargets) {
  std::string install = path("Quenzar");
  ASSERT_TRUE(createDirectoryPath(install.c_str()));
  writeFile(install + "\\quenzar.exe", "MZ");
  writeFile(path("QuenzarNeighbour.txt"), "keep");  // its name starts like the folder
  CreateDirectoryA(path("outside").c_str(), nullptr);
  writeFile(path("outside\\precious.txt"), "keep");
  using CreateLink = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  auto createLink = reinterpret_cast<CreateLink>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "CreateSymbolicLinkA")));
  bool linked = createLink &&
                createLink((install + "\\linked").c_str(), path("outside").c_str(), 1) &&
                (GetFileAttributesA((install + "\\linked").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

  deleteTree((install + "\\").c_str());
  EXPECT_FALSE(exists(install));
  EXPECT_TRUE(exists(path("QuenzarNeighbour.txt")));
  EXPECT_TRUE(exists(path("outside\\precious.txt"))) << "the link's target was emptied";
  if (!linked)
    std::printf("this system makes no directory links; the link case did not run\n");
  deleteTree(path("missing\\").c_str());  // a folder that cannot be listed is left alone
  EXPECT_TRUE(exists(m_root));
}

TEST(RefusedFolders, SystemAndShellFoldersAndTheirParentsAreNeverRemoved) {
  char folder[MAX_PATH];
  std::vector<std::string> refused = {"C:\\", "C:", "\\\\server\\share"};
  if (GetWindowsDirectoryA(folder, sizeof folder))
    refused.insert(refused.end(), {folder, std::string(folder) + "\\"});
  if (GetSystemDirectoryA(folder, sizeof folder))
    refused.push_back(folder);
  ASSERT_TRUE(getProgramFilesFolder(folder, sizeof folder));
  refused.push_back(folder);
  std::string programFiles = folder;
  for (int csidl : {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_APPDATA,
                    CSIDL_PERSONAL})
    if (getSpecialFolder(csidl, folder, sizeof folder))  // with the folder that holds it
      refused.insert(refused.end(), {folder, std::string(folder, strrchr(folder, '\\'))});
  for (const std::string& f : refused)
    EXPECT_TRUE(isRefusedInstallFolder(f.c_str())) << f;
  // An ordinary install folder, also one below a guarded one, is not refused.
  ASSERT_TRUE(getSpecialFolder(CSIDL_PROFILE, folder, sizeof folder));
  for (const std::string& f : {programFiles + "\\Quenzar", std::string("C:\\Quenzar"),
                               std::string(folder) + "\\Games\\Quenzar"})
    EXPECT_FALSE(isRefusedInstallFolder(f.c_str())) << f;
}

TEST_F(ScratchFolder, UninstallLeavesARefusedFolderAndRemovesTheRest) {
  char desktop[MAX_PATH];
  ASSERT_TRUE(getDesktopFolder(desktop, sizeof desktop, false));
  std::string marker = std::string(desktop) + "\\velorin-keep.txt";
  writeFile(marker, "keep");
  const char* testKey = "Software\\Tavelin\\QuenzarClient";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyA(HKEY_CURRENT_USER, (std::string(testKey) + "\\a\\b").c_str(), &key));
  RegCloseKey(key);

  clearLog();  // the desktop recorded as the install folder
  copyText(g_szCWD, sizeof g_szCWD, desktop);
  EXPECT_TRUE(performUninstall());
  g_szCWD[0] = '\0';
  EXPECT_TRUE(exists(marker)) << "the desktop was emptied";
  DeleteFileA(marker.c_str());
  EXPECT_NE(nullptr, strstr(logText(), "is a system or shell folder; not deleted"));
  // The removal went on: the product key with its subkeys is gone.
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_CURRENT_USER, testKey, &key));
  EXPECT_NE(ERROR_SUCCESS, deleteRegistryTree(HKEY_CURRENT_USER, testKey));
}

TEST_F(ScratchFolder, StubCopyIsWholeOrNotThere) {
  char own[MAX_PATH];
  ASSERT_TRUE(GetModuleFileNameA(nullptr, own, sizeof own));
  std::string copy = path("velorin.exe"), broken = path("broken.exe");
  EXPECT_TRUE(copyStubFile(own, copy.c_str()));
  EXPECT_EQ(calculateFileCrc(own, false), calculateFileCrc(copy.c_str(), false));
  EXPECT_TRUE(copyStubFile(own, own)) << "started from the destination: nothing to copy";
  writeFile(path("empty.exe"), "");
  for (const char* source : {"missing.exe", "empty.exe"}) {  // unreadable, or no stub at all
    EXPECT_FALSE(copyStubFile(path(source).c_str(), broken.c_str())) << source;
    EXPECT_FALSE(exists(broken)) << source;
  }
}

namespace {

int g_terminateCalls = 0;
BOOL WINAPI refuseToTerminate(HANDLE, UINT) {
  ++g_terminateCalls;
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

}  // namespace

TEST(ProcessControl, ARefusedEndIsReportedAndNothingOutsideTheInstallFolderIsEnded) {
  char own[MAX_PATH];
  ASSERT_TRUE(GetModuleFileNameA(nullptr, own, sizeof own));
  std::string folder(own, strrchr(own, '\\') - own);
  DWORD pid = GetCurrentProcessId();
  uint32_t checksum = calculateFileCrc(own, true);
  // The process stands in for a client that cannot be ended.
  setTerminateProcessForTesting(refuseToTerminate);
  g_terminateCalls = 0;
  copyText(g_szCWD, sizeof g_szCWD, folder.c_str());
  EXPECT_FALSE(terminateIfRunning(own, pid, checksum));
  EXPECT_EQ(1, g_terminateCalls);
  // A path that leaves the install folder is never used to end anything.
  copyText(g_szCWD, sizeof g_szCWD, (folder + "\\sub").c_str());
  EXPECT_TRUE(terminateIfRunning((folder + "\\sub\\..\\" + (strrchr(own, '\\') + 1)).c_str(), pid,
                                 checksum));
  copyText(g_szCWD, sizeof g_szCWD, "C:\\Elsewhere");
  EXPECT_TRUE(terminateIfRunning(own, pid, checksum));
  EXPECT_EQ(1, g_terminateCalls);
  setTerminateProcessForTesting(nullptr);
  g_szCWD[0] = '\0';
}

TEST(ClientLaunch, FailedStartEndsThePendingInstallAndRecordsProcessZero) {
  copyText(g_szPrimaryExe, sizeof g_szPrimaryExe, "no-such-client.exe");
  copyText(g_szLastRunPath, sizeof g_szLastRunPath, "no-such-client.exe");
  g_ulPrimaryExeCrc = 7;
  ASSERT_EQ(ERROR_SUCCESS, writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, "1"));
  DWORD start = GetTickCount();
  launchClient();
  EXPECT_GE(GetTickCount() - start, 3000u) << "a pending install pauses 3 seconds first";
  char install[16] = "", lastRun[64] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, install, sizeof install);
  EXPECT_STREQ("", install);
  EXPECT_EQ(0u, g_ulLastRunPid);
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN, lastRun, sizeof lastRun);
  deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN);
  g_szPrimaryExe[0] = '\0';
  EXPECT_STREQ("no-such-client.exe 0 7", lastRun);
}
