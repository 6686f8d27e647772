#include "install/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "app/bounded_text.h"
#include "app/log.h"

namespace {

constexpr const char* kDefaultProgramFiles = "C:\\Program Files";

// Frees an item list with the shell's allocator.
void freeItemList(LPITEMIDLIST list) {
  if (!list)
    return;
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
    allocator->Free(list);
    allocator->Release();
  }
}

// The Windows folder + a fixed tail: where the 9x shell keeps its folders.
bool windowsFolderPlus(const char* tail, char* out, size_t outSize) {
  char windows[MAX_PATH] = "";
  UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length == 0 || length >= sizeof windows) {
    copyText(out, outSize, "");
    return false;
  }
  return formatText(out, outSize, "%s%s", windows, tail);
}

}  // namespace

bool isWindows9xFamily() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool getSpecialFolder(int csidl, char* out, size_t outSize) {
  // SHGetSpecialFolderLocation and SHGetPathFromIDListA exist on NT 4.0.
  LPITEMIDLIST list = nullptr;
  char path[MAX_PATH] = "";
  bool found = SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) && list &&
               SHGetPathFromIDListA(list, path) && path[0];
  freeItemList(list);
  if (!found) {
    copyText(out, outSize, "");
    return false;
  }
  return copyText(out, outSize, path);
}

bool getProgramsFolder(char* out, size_t outSize, bool allUsers) {
  if (isWindows9xFamily())
    return windowsFolderPlus("\\Start Menu\\Programs", out, outSize);
  return getSpecialFolder(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, out, outSize);
}

bool getDesktopFolder(char* out, size_t outSize, bool allUsers) {
  if (isWindows9xFamily())
    return windowsFolderPlus("\\Desktop", out, outSize);
  return getSpecialFolder(allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY, out,
                          outSize);
}

bool getProgramFilesFolder(char* out, size_t outSize) {
  // Only shells of Windows 2000 and later know CSIDL_PROGRAM_FILES.
  if (!isWindows9xFamily() && getSpecialFolder(CSIDL_PROGRAM_FILES, out, outSize))
    return true;
  return copyText(out, outSize, kDefaultProgramFiles);
}

bool chooseInstallFolder(char* path, size_t pathSize, const char* title) {
  if (pathSize < MAX_PATH)
    return false;
  BROWSEINFOA info = {};
  info.pszDisplayName = path;  // MAX_PATH bytes, checked above
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_RETURNFSANCESTORS;
  LPITEMIDLIST list = SHBrowseForFolderA(&info);
  if (!list)
    return false;
  char chosen[MAX_PATH] = "";
  if (!SHGetPathFromIDListA(list, chosen))
    chosen[0] = '\0';
  freeItemList(list);
  copyText(path, pathSize, chosen);
  return true;
}
