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

}  // namespace

bool getProgramFilesFolder(char* out, size_t outSize) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  bool windows9x = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  if (!windows9x) {
    // SHGetSpecialFolderLocation and SHGetPathFromIDListA exist on NT 4.0;
    // only shells of Windows 2000 and later know CSIDL_PROGRAM_FILES.
    LPITEMIDLIST list = nullptr;
    char path[MAX_PATH] = "";
    bool found = SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, &list)) &&
                 list && SHGetPathFromIDListA(list, path) && path[0];
    freeItemList(list);
    if (found)
      return copyText(out, outSize, path);
  }
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
