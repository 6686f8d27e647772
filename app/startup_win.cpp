#include "app/startup.h"

#include <cstring>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/file_version.h"
#include "app/launch_record.h"
#include "app/log.h"
#include "app/registry.h"
#include "report/system_info.h"

bool checkMinimumWindows(DWORD* major, DWORD* minor) {
  WindowsVersion version = {};
  bool known = readWindowsVersion(&version);
  if (major)
    *major = version.major;
  if (minor)
    *minor = version.minor;
  if (!known)
    return false;
  return version.major > 4 || (version.major == 4 && version.minor > 0);
}

bool passWindowsGate() {
  switch (g_xSystemInfo.getOsKind()) {
    case WINDOWS_98:
    case WINDOWS_ME:
    case WINDOWS_NT4:
    case WINDOWS_2000:
    case WINDOWS_XP:
      return true;
    default:
      break;
  }
  if (checkMinimumWindows(nullptr, nullptr))
    return true;
  MessageBoxA(nullptr, "Quenzar requires a minimum of Windows 98 or NT 4.0 to run", "Error",
              MB_ICONERROR);
  return false;
}

void loadGlobalStrings(HINSTANCE instance) {
  LoadStringA(instance, 103, g_szWindowTitle, sizeof g_szWindowTitle);
  LoadStringA(instance, 119, g_szWindowClass, sizeof g_szWindowClass);
  LoadStringA(instance, 114, g_szStatus, sizeof g_szStatus);
  LoadStringA(instance, 111, g_szWaitingText, sizeof g_szWaitingText);
}

void setWorkingDirectory(char* out, size_t outSize) {
  char folder[kPathSize] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, folder, sizeof folder);
  if (folder[0]) {
    logMessage(LOG_INFO, "szWorkingDirectory = %s", folder);
    if (!SetCurrentDirectoryA(folder)) {
      DWORD error = GetLastError();
      logMessage(LOG_FAIL, "Unable to set current directory to %s (Error %u)", folder,
                 static_cast<unsigned>(error));
    }
  } else {
    // Before installation the program works from its own folder.
    char ownPath[kPathSize] = "";
    DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
    if (length > 0 && length < sizeof ownPath) {
      char* lastSlash = strrchr(ownPath, '\\');
      if (lastSlash) {
        lastSlash[1] = '\0';
        SetCurrentDirectoryA(ownPath);
      }
    }
  }
  copyText(out, outSize, folder);
}

void recordStubVersion() {
  char stored[kPathSize] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_STUB_RUN, stored, sizeof stored);
  StubVersion previous = parseLastSRun(stored);
  g_xFileVersion.load(nullptr);
  StubVersion current = g_xFileVersion.fileVersion();
  char text[64];
  if (formatStubVersion(current, text, sizeof text))
    writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_STUB_RUN, text);
  if (stored[0] && isStubVersionChanged(previous, current)) {
    deleteRegistryValue(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_USG_REPORTS);
    deleteRegistryValue(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_DBG_REPORTS);
    deleteRegistryValue(HKEY_CURRENT_USER, DEBUG_KEY, VALUE_LOG_REPORTS);
  }
}

void readLaunchRecord() {
  char text[kPathSize] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN, text, sizeof text);
  if (!text[0])
    return;
  LaunchRecord record = {};
  if (!parseLastRun(text, &record)) {
    logMessage(LOG_WARNING, "WinMain: ignoring unreadable lastRun value");
    return;
  }
  copyText(g_szLastRunPath, sizeof g_szLastRunPath, record.szPath);
  g_ulLastRunPid = record.ulPid;
  g_ulPrimaryExeCrc = record.ulCrc;
}

void processRequestDelete() {
  char path[kPathSize] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_REQUEST_DELETE, path, sizeof path);
  if (!path[0])
    return;
  // A file that is gone, or whose folder is gone, needs no further attempt.
  if (!DeleteFileA(path)) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      return;
  }
  deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_REQUEST_DELETE);
}
