#include "install/install_actions.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/registry.h"
#include "app/win_handles.h"
#include "install/shortcuts.h"

namespace {

constexpr const char* kProductName = "Quenzar";
constexpr const char* kInstalledStubName = "quenzar.exe";

bool samePath(const char* a, const char* b) {
  char fullA[MAX_PATH * 2] = "";
  char fullB[MAX_PATH * 2] = "";
  DWORD lengthA = GetFullPathNameA(a, sizeof fullA, fullA, nullptr);
  DWORD lengthB = GetFullPathNameA(b, sizeof fullB, fullB, nullptr);
  return lengthA && lengthA < sizeof fullA && lengthB && lengthB < sizeof fullB &&
         lstrcmpiA(fullA, fullB) == 0;
}

// Reads the whole source and writes it; false on any short read or write.
bool writeCopy(const char* source, HANDLE destination) {
  ScopedHandle input(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!input.valid())
    return false;
  DWORD size = GetFileSize(input.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size == 0)
    return false;
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[size]);
  if (!bytes)
    return false;
  DWORD read = 0;
  if (!ReadFile(input.get(), bytes.get(), size, &read, nullptr) || read != size)
    return false;
  DWORD written = 0;
  return WriteFile(destination, bytes.get(), size, &written, nullptr) && written == size;
}

void writeToolbarButton() {
  char hotIcon[517];
  char icon[517];
  char exec[517];
  if (!formatText(hotIcon, sizeof hotIcon, "%s\\quenzar.dll,101", g_szCWD) ||
      !formatText(icon, sizeof icon, "%s\\quenzar.dll,102", g_szCWD) ||
      !formatText(exec, sizeof exec, "%s\\quenzar.exe", g_szCWD))
    return;  // g_szCWD holds at most 259 characters: cannot happen
  writeRegistryString(HKEY_CURRENT_USER, TOOLBAR_KEY, "Default Visible", "Yes");
  writeRegistryString(HKEY_CURRENT_USER, TOOLBAR_KEY, "ButtonText", kProductName);
  writeRegistryString(HKEY_CURRENT_USER, TOOLBAR_KEY, "CLSID",
                      "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}");
  writeRegistryString(HKEY_CURRENT_USER, TOOLBAR_KEY, "HotIcon", hotIcon);
  writeRegistryString(HKEY_CURRENT_USER, TOOLBAR_KEY, "Icon", icon);
  writeRegistryString(HKEY_CURRENT_USER, TOOLBAR_KEY, "Exec", exec);
}

}  // namespace

bool copyStubFile(const char* source, const char* destination) {
  if (samePath(source, destination))
    return true;  // started from the install folder: the stub is already there
  bool complete;
  {
    ScopedHandle output(CreateFileA(destination, GENERIC_ALL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output.valid()) {
      logMessage(LOG_FAIL, "performInstallActions: cannot create %s (error %lu)", destination,
                 GetLastError());
      return false;
    }
    complete = writeCopy(source, output.get());
  }
  if (!complete) {
    // A half stub would be what the shortcuts start.
    logMessage(LOG_FAIL, "performInstallActions: copy of the stub to %s is incomplete; deleted",
               destination);
    DeleteFileA(destination);
  }
  return complete;
}

bool performInstallActions() {
  CreateDirectoryA(g_szCWD, nullptr);

  char ownPath[517] = "";
  DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  const char* slash = strrchr(ownPath, '\\');
  size_t folderLength = strlen(g_szCWD);
  char destination[517] = "";
  if (length == 0 || length >= sizeof ownPath || !slash ||
      !formatText(destination, sizeof destination, "%s%s%s", g_szCWD,
                  (folderLength && g_szCWD[folderLength - 1] == '\\') ? "" : "\\", slash + 1)) {
    logMessage(LOG_FAIL, "performInstallActions: no path for the stub copy");
    return false;
  }
  if (!copyStubFile(ownPath, destination))
    return false;
  logMessage(LOG_INFO, "performInstallActions: stub copied to %s", destination);

  writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, g_szCWD);
  writeToolbarButton();

  createMenuShortcut(kProductName, g_szCWD, kInstalledStubName, kProductName, false, nullptr);
  createMenuShortcut(kProductName, g_szCWD, kInstalledStubName, kProductName, true, nullptr);
  createMenuShortcut(kProductName, g_szCWD, kInstalledStubName, "Uninstall", false, "/uninstall");
  createMenuShortcut(kProductName, g_szCWD, kInstalledStubName, "Uninstall", true, "/uninstall");
  createDesktopShortcut(g_szCWD, kInstalledStubName, kProductName, false);
  logMessage(LOG_INFO, "performInstallActions: installed into %s", g_szCWD);
  return true;
}
