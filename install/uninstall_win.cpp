#include "install/uninstall.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <initializer_list>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/settings_keys.h"
#include "app/system_library.h"
#include "install/folder_tree.h"
#include "install/shell_folders.h"

namespace {

constexpr const char* kProductName = "Quenzar";

using ShDeleteKeyFunction = LONG(WINAPI*)(HKEY, LPCSTR);

// Special folders an install folder must neither be nor contain.
constexpr int kGuardedFolders[] = {
    CSIDL_DESKTOPDIRECTORY,
    CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_PROGRAMS,
    CSIDL_COMMON_PROGRAMS,
    CSIDL_STARTMENU,
    CSIDL_COMMON_STARTMENU,
    CSIDL_STARTUP,
    CSIDL_PERSONAL,
    CSIDL_APPDATA,
    CSIDL_LOCAL_APPDATA,
    CSIDL_COMMON_APPDATA,
    CSIDL_PROFILE,
    CSIDL_WINDOWS,
    CSIDL_SYSTEM,
    CSIDL_PROGRAM_FILES,
    CSIDL_PROGRAM_FILES_COMMON,
    CSIDL_FONTS,
    CSIDL_TEMPLATES,
    CSIDL_FAVORITES,
    CSIDL_INTERNET_CACHE,
    CSIDL_COOKIES,
    CSIDL_HISTORY,
    CSIDL_COMMON_DOCUMENTS,
    CSIDL_MYPICTURES,
};

// Full path without a closing "\" (except for a bare root such as "C:\").
bool canonicalFolder(const char* path, char* out, size_t outSize) {
  char full[MAX_PATH * 2] = "";
  DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full)
    return false;
  while (length > 3 && (full[length - 1] == '\\' || full[length - 1] == '/'))
    full[--length] = '\0';
  return copyText(out, outSize, full);
}

// Whether folder is guarded itself or holds guarded: guarded equals folder,
// or starts with folder followed by "\".
bool coversFolder(const char* folder, const char* guarded) {
  char canonical[MAX_PATH * 2];
  if (!guarded[0] || !canonicalFolder(guarded, canonical, sizeof canonical))
    return false;
  size_t length = strlen(folder);
  if (strlen(canonical) < length ||
      CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, folder, static_cast<int>(length),
                     canonical, static_cast<int>(length)) != CSTR_EQUAL)
    return false;
  return canonical[length] == '\0' || canonical[length] == '\\';
}

bool isRootFolder(const char* folder) {
  size_t length = strlen(folder);
  if (length <= 3)
    return true;  // "C:\", "C:", "\"
  if (folder[0] == '\\' && folder[1] == '\\') {
    // "\\server\share": a root unless a third separator follows the share.
    const char* server = strchr(folder + 2, '\\');
    return !server || !strchr(server + 1, '\\');
  }
  return false;
}

}  // namespace

long deleteRegistryTree(void* root, const char* keyPath) {
  static ShDeleteKeyFunction shDeleteKey = nullptr;
  if (!shDeleteKey) {
    // Kept loaded for the rest of the run, like the function it provides.
    HMODULE library = loadSystemLibrary("SHLWAPI.DLL");
    if (library)
      shDeleteKey = reinterpret_cast<ShDeleteKeyFunction>(
          reinterpret_cast<void*>(GetProcAddress(library, "SHDeleteKeyA")));
    if (!shDeleteKey) {
      logMessage(LOG_WARNING, "performUninstall: SHDeleteKeyA not available; %s kept", keyPath);
      if (library)
        FreeLibrary(library);
      return ERROR_PROC_NOT_FOUND;
    }
  }
  return shDeleteKey(static_cast<HKEY>(root), keyPath);
}

bool isRefusedInstallFolder(const char* folder) {
  char canonical[MAX_PATH * 2];
  if (!canonicalFolder(folder, canonical, sizeof canonical) || isRootFolder(canonical))
    return true;
  char special[MAX_PATH];
  UINT length = GetWindowsDirectoryA(special, sizeof special);
  if (length && length < sizeof special && coversFolder(canonical, special))
    return true;
  length = GetSystemDirectoryA(special, sizeof special);
  if (length && length < sizeof special && coversFolder(canonical, special))
    return true;
  if (getProgramFilesFolder(special, sizeof special) && coversFolder(canonical, special))
    return true;
  for (bool allUsers : {false, true}) {
    if (getProgramsFolder(special, sizeof special, allUsers) && coversFolder(canonical, special))
      return true;
    if (getDesktopFolder(special, sizeof special, allUsers) && coversFolder(canonical, special))
      return true;
  }
  for (int csidl : kGuardedFolders)
    if (getSpecialFolder(csidl, special, sizeof special) && coversFolder(canonical, special))
      return true;
  DWORD profileLength = GetEnvironmentVariableA("USERPROFILE", special, sizeof special);
  if (profileLength && profileLength < sizeof special && coversFolder(canonical, special))
    return true;
  return false;
}

void removeMenuGroup(const char* group) {
  for (bool allUsers : {true, false}) {
    char programs[261] = "";
    char folder[261] = "";
    if (getProgramsFolder(programs, sizeof programs, allUsers) &&
        formatText(folder, sizeof folder, "%s\\%s\\", programs, group))
      deleteTree(folder);
  }
}

bool removeDesktopShortcut(const char* name) {
  bool removed = false;
  for (bool allUsers : {true, false}) {
    char desktop[261] = "";
    char file[261] = "";
    removed = getDesktopFolder(desktop, sizeof desktop, allUsers) &&
              formatText(file, sizeof file, "%s\\%s", desktop, name) && DeleteFileA(file);
  }
  return removed;
}

bool performUninstall() {
  // Leave the install folder so that it can be removed.
  char ownPath[512] = "";
  DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  if (length && length < sizeof ownPath) {
    if (char* slash = strrchr(ownPath, '\\')) {
      slash[1] = '\0';
      SetCurrentDirectoryA(ownPath);
    }
  }

  if (g_szCWD[0]) {
    char folder[kPathSize + 1];
    if (isRefusedInstallFolder(g_szCWD)) {
      logMessage(LOG_FAIL, "performUninstall: %s is a system or shell folder; not deleted",
                 g_szCWD);
    } else if (formatText(folder, sizeof folder, "%s\\", g_szCWD)) {
      logMessage(LOG_INFO, "performUninstall: deleting %s", folder);
      deleteTree(folder);
    }
  }

  deleteRegistryTree(HKEY_CURRENT_USER, PRODUCT_KEY);
  deleteRegistryTree(HKEY_CURRENT_USER, TOOLBAR_KEY);
  deleteRegistryTree(HKEY_LOCAL_MACHINE, PRODUCT_KEY);
  deleteRegistryTree(HKEY_LOCAL_MACHINE, TOOLBAR_KEY);

  removeMenuGroup(kProductName);

  char name[257];
  formatText(name, sizeof name, "%s.lnk", kProductName);
  removeDesktopShortcut(name);
  formatText(name, sizeof name, "%s Client.lnk", kProductName);
  removeDesktopShortcut(name);
  removeDesktopShortcut("Quenzar.exe");
  return true;
}
