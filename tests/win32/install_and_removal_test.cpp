// Install actions, removal and process control on real Win32 (Wine): shell
// links loaded back, folder trees created and removed, the folders a removal
// refuses, SHDeleteKeyA bound at run time, the launch record's process check.
#include <gtest/gtest.h>

#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/process_control.h"
#include "install/directory_path.h"
#include "install/folder_tree.h"
#include "install/install_actions.h"
#include "install/shell_folders.h"
#include "install/shortcuts.h"
#include "install/uninstall.h"
#include "update/file_crc.h"

namespace {

// A fresh folder below the temporary folder, removed after the test.
class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    m_root = std::string(temp) + "velorin-install-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(m_root.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  void TearDown() override { deleteTree((m_root + "\\").c_str()); }

  std::string path(const std::string& relative) const { return m_root + "\\" + relative; }
  static void writeFile(const std::string& path, const char* text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
  }
  static bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::string m_root;
};

struct LoadedLink {
  HRESULT result = E_FAIL;
  std::string target, arguments, folder, description;
};

LoadedLink loadLink(const std::string& path) {
  LoadedLink loaded;
  IShellLinkA* link = nullptr;
  loaded.result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link));
  if (FAILED(loaded.result))
    return loaded;
  IPersistFile* file = nullptr;
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  loaded.result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(loaded.result)) {
    loaded.result = file->Load(wide, STGM_READ);
    file->Release();
  }
  char text[1024];
  if (SUCCEEDED(loaded.result)) {
    text[0] = '\0';
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    loaded.target = text;
    text[0] = '\0';
    link->GetArguments(text, sizeof text);
    loaded.arguments = text;
    text[0] = '\0';
    link->GetWorkingDirectory(text, MAX_PATH);
    loaded.folder = text;
    text[0] = '\0';
    link->GetDescription(text, sizeof text);
    loaded.description = text;
  }
  link->Release();
  return loaded;
}

using Shortcuts = ScratchFolder;

}  // namespace

TEST_F(Shortcuts, WrittenAndLoadedBackWithTargetArgumentsAndFolder) {
  CoInitialize(nullptr);  // as WinMain does once at start-up
  std::string install = path("Quenzar");
  CreateDirectoryA(install.c_str(), nullptr);
  std::string target = install + "\\quenzar.exe";
  writeFile(target, "MZ");

  std::string link = path("Uninstall.lnk");
  ASSERT_TRUE(
      SUCCEEDED(createShortcut(target.c_str(), link.c_str(), target.c_str(), "/uninstall")));
  LoadedLink loaded = loadLink(link);
  ASSERT_TRUE(SUCCEEDED(loaded.result));
  EXPECT_STRCASEEQ(target.c_str(), loaded.target.c_str());
  EXPECT_EQ("/uninstall", loaded.arguments);
  EXPECT_STRCASEEQ(install.c_str(), loaded.folder.c_str());
  EXPECT_EQ(target, loaded.description);

  // No arguments at all.
  std::string plain = path("Quenzar.lnk");
  ASSERT_TRUE(SUCCEEDED(createShortcut(target.c_str(), plain.c_str(), "d", nullptr)));
  loaded = loadLink(plain);
  ASSERT_TRUE(SUCCEEDED(loaded.result));
  EXPECT_EQ("", loaded.arguments);

  // A link into a folder that does not exist fails with a COM error.
  EXPECT_TRUE(FAILED(createShortcut(target.c_str(), path("missing\\x.lnk").c_str(), "d", nullptr)));
  CoUninitialize();
}

TEST_F(ScratchFolder, CreateDirectoryPathMakesEveryLevel) {
  std::string deep = path("a\\b\\c");
  EXPECT_TRUE(createDirectoryPath(deep.c_str()));
  EXPECT_TRUE(exists(path("a")));
  EXPECT_TRUE(exists(path("a\\b")));
  EXPECT_TRUE(exists(deep));
  // A trailing "\" adds nothing; existing levels are no failure.
  EXPECT_TRUE(createDirectoryPath((deep + "\\").c_str()));
  EXPECT_TRUE(exists(deep));

  // Relative to the current folder.
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(m_root.c_str()));
  EXPECT_TRUE(createDirectoryPath("r\\s"));
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(exists(path("r\\s")));
}

TEST_F(ScratchFolder, DeleteTreeRemovesReadOnlyFilesAndNestedFolders) {
  std::string install = path("Quenzar");
  ASSERT_TRUE(createDirectoryPath((install + "\\data\\deep\\deeper").c_str()));
  writeFile(install + "\\quenzar.exe", "MZ");
  writeFile(install + "\\data\\locked.dat", "x");
  SetFileAttributesA((install + "\\data\\locked.dat").c_str(), FILE_ATTRIBUTE_READONLY);
  writeFile(install + "\\data\\deep\\deeper\\hidden.bin", "y");
  SetFileAttributesA((install + "\\data\\deep\\deeper\\hidden.bin").c_str(),
                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  // A neighbour whose name starts like the folder stays.
  writeFile(path("QuenzarNeighbour.txt"), "keep");

  deleteTree((install + "\\").c_str());
  EXPECT_FALSE(exists(install));
  EXPECT_TRUE(exists(path("QuenzarNeighbour.txt")));

  // A folder that cannot be listed is left alone.
  deleteTree(path("missing\\").c_str());
  EXPECT_TRUE(exists(m_root));
}

TEST_F(ScratchFolder, DeleteTreeRemovesALinkNotWhatItPointsTo) {
  using CreateLinkFunction = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  auto createLink = reinterpret_cast<CreateLinkFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "CreateSymbolicLinkA")));
  std::string outside = path("outside");
  CreateDirectoryA(outside.c_str(), nullptr);
  writeFile(outside + "\\precious.txt", "keep");
  std::string install = path("Quenzar");
  CreateDirectoryA(install.c_str(), nullptr);
  std::string link = install + "\\linked";
  if (!createLink || !createLink(link.c_str(), outside.c_str(), 1 /* directory */))
    GTEST_SKIP() << "this system makes no directory links";
  DWORD attributes = GetFileAttributesA(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "directory link not reported as a reparse point";

  deleteTree((install + "\\").c_str());
  EXPECT_FALSE(exists(install));
  EXPECT_TRUE(exists(outside + "\\precious.txt")) << "the link's target was emptied";
}

TEST(RefusedFolders, SystemAndShellFoldersAndTheirParentsAreNeverRemoved) {
  char folder[MAX_PATH];
  EXPECT_TRUE(isRefusedInstallFolder("C:\\"));
  EXPECT_TRUE(isRefusedInstallFolder("C:"));
  EXPECT_TRUE(isRefusedInstallFolder("\\\\server\\share"));
  ASSERT_TRUE(GetWindowsDirectoryA(folder, sizeof folder));
  EXPECT_TRUE(isRefusedInstallFolder(folder));
  EXPECT_TRUE(isRefusedInstallFolder((std::string(folder) + "\\").c_str()));
  ASSERT_TRUE(GetSystemDirectoryA(folder, sizeof folder));
  EXPECT_TRUE(isRefusedInstallFolder(folder));
  ASSERT_TRUE(getProgramFilesFolder(folder, sizeof folder));
  EXPECT_TRUE(isRefusedInstallFolder(folder)) << folder;
  for (int csidl : {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_APPDATA,
                    CSIDL_PERSONAL}) {
    if (!getSpecialFolder(csidl, folder, sizeof folder))
      continue;
    EXPECT_TRUE(isRefusedInstallFolder(folder)) << folder;
    // The folder that holds it (for the profile: the users' folder) too.
    std::string parent = folder;
    parent.resize(parent.rfind('\\'));
    EXPECT_TRUE(isRefusedInstallFolder(parent.c_str())) << parent;
  }
  // An ordinary install folder, also one below a guarded one, is not refused.
  ASSERT_TRUE(getProgramFilesFolder(folder, sizeof folder));
  EXPECT_FALSE(isRefusedInstallFolder((std::string(folder) + "\\Quenzar").c_str()));
  EXPECT_FALSE(isRefusedInstallFolder("C:\\Quenzar"));
  ASSERT_TRUE(getSpecialFolder(CSIDL_PROFILE, folder, sizeof folder));
  EXPECT_FALSE(isRefusedInstallFolder((std::string(folder) + "\\Games\\Quenzar").c_str()));
}

TEST_F(ScratchFolder, UninstallLeavesARefusedFolderAndRemovesTheRest) {
  char desktop[MAX_PATH];
  ASSERT_TRUE(getDesktopFolder(desktop, sizeof desktop, false));
  std::string marker = std::string(desktop) + "\\velorin-keep.txt";
  writeFile(marker, "keep");
  const char* testKey = "Software\\Tavelin\\QuenzarClient";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, testKey, &key));
  HKEY subkey = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(key, "nested\\deeper", &subkey));
  RegCloseKey(subkey);
  RegCloseKey(key);

  clearLog();
  copyText(g_szCWD, sizeof g_szCWD, desktop);
  EXPECT_TRUE(performUninstall());
  g_szCWD[0] = '\0';
  EXPECT_TRUE(exists(marker)) << "the desktop was emptied";
  DeleteFileA(marker.c_str());
  EXPECT_NE(nullptr, strstr(logText(), "is a system or shell folder; not deleted"));
  // The removal went on: the product key with its subkeys is gone
  // (SHDeleteKeyA, bound at run time).
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_CURRENT_USER, testKey, &key));
}

TEST(RegistryTree, ShDeleteKeyIsBoundAndRemovesSubkeys) {
  const char* testKey = "Software\\VelorinTest\\Tree";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyA(HKEY_CURRENT_USER, "Software\\VelorinTest\\Tree\\a\\b", &key));
  RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS, deleteRegistryTree(HKEY_CURRENT_USER, testKey));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_CURRENT_USER, testKey, &key));
  EXPECT_NE(ERROR_SUCCESS, deleteRegistryTree(HKEY_CURRENT_USER, testKey));
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelorinTest");
}

TEST_F(ScratchFolder, StubCopyIsWholeOrNotThere) {
  char own[MAX_PATH];
  ASSERT_TRUE(GetModuleFileNameA(nullptr, own, sizeof own));
  std::string copy = path("velorin.exe");
  EXPECT_TRUE(copyStubFile(own, copy.c_str()));
  EXPECT_EQ(calculateFileCrc(own, false), calculateFileCrc(copy.c_str(), false));
  // Started from the destination itself: nothing to copy, and no failure.
  EXPECT_TRUE(copyStubFile(own, own));
  // A source that cannot be read leaves no destination behind.
  std::string broken = path("broken.exe");
  EXPECT_FALSE(copyStubFile(path("missing.exe").c_str(), broken.c_str()));
  EXPECT_FALSE(exists(broken));
  // An empty source is no stub either.
  writeFile(path("empty.exe"), "");
  EXPECT_FALSE(copyStubFile(path("empty.exe").c_str(), broken.c_str()));
  EXPECT_FALSE(exists(broken));
}

namespace {

int g_terminateCalls = 0;
BOOL WINAPI refuseToTerminate(HANDLE, UINT) {
  ++g_terminateCalls;
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

}  // namespace

TEST(ProcessControl, OnlyTheRecordedFileWithItsChecksumInTheInstallFolderIsEnded) {
  char own[MAX_PATH];
  ASSERT_TRUE(GetModuleFileNameA(nullptr, own, sizeof own));
  std::string folder(own, strrchr(own, '\\') - own);
  DWORD pid = GetCurrentProcessId();
  uint32_t checksum = calculateFileCrc(own, true);

  MODULEENTRY32 entry = {};
  ASSERT_TRUE(findProcessModule(pid, own, &entry, sizeof entry));
  EXPECT_STRCASEEQ(own, entry.szExePath);
  EXPECT_EQ(pid, entry.th32ProcessID);
  EXPECT_FALSE(findProcessModule(pid, (folder + "\\other.exe").c_str(), &entry, sizeof entry));

  // The process stands in for a client that cannot be ended.
  setTerminateProcessForTesting(refuseToTerminate);
  g_terminateCalls = 0;
  copyText(g_szCWD, sizeof g_szCWD, folder.c_str());
  EXPECT_FALSE(terminateIfRunning(own, pid, checksum));
  EXPECT_EQ(1, g_terminateCalls);
  // Reused process id: another file, or the same file with another checksum.
  EXPECT_TRUE(terminateIfRunning(own, pid, checksum + 1));
  EXPECT_TRUE(terminateIfRunning((folder + "\\other.exe").c_str(), pid, checksum));
  // A path that leaves the install folder is never used to end anything.
  copyText(g_szCWD, sizeof g_szCWD, (folder + "\\sub").c_str());
  EXPECT_TRUE(terminateIfRunning(
      (folder + "\\sub\\..\\" + std::string(strrchr(own, '\\') + 1)).c_str(), pid, checksum));
  copyText(g_szCWD, sizeof g_szCWD, "C:\\Elsewhere");
  EXPECT_TRUE(terminateIfRunning(own, pid, checksum));
  EXPECT_EQ(1, g_terminateCalls);
  setTerminateProcessForTesting(nullptr);
  g_szCWD[0] = '\0';
}
