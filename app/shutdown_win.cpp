#include <windows.h>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/file_version.h"
#include "app/log.h"
#include "app/registry.h"
#include "app/startup.h"
#include "app/stub_expansion.h"
#include "app/unbuilt_steps.h"
#include "app/win_handles.h"
#include "report/bug_report.h"
#include "ui/messages.h"
#include "update/download_state.h"

namespace {

constexpr size_t kCommandLineSize = 516 * 2 + kTempFileSize + 32;

// Frees and deletes the runtime library in the current directory.
void removeAtlFrom(const char* folder, const char* deleteLogText) {
  logMessage(LOG_INFO, "Setting current working directory to %s", folder);
  SetCurrentDirectoryA(folder);
  logMessage(LOG_INFO, "Freeing library ATL.DLL");
  HMODULE atl = GetModuleHandleA("ATL.DLL");
  if (atl)
    FreeLibrary(atl);
  logMessage(LOG_INFO, "%s", deleteLogText);
  if (DeleteFileA("ATL.DLL") != 1) {
    DWORD error = GetLastError();
    logMessage(LOG_FAIL, "WinMain: Unable to remove ATL.DLL: error %d", static_cast<int>(error));
  }
  DeleteFileA("ATL98.DLL");
}

void spawnNewStub() {
  char ownPath[516] = "";
  DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  if (length == 0 || length >= sizeof ownPath) {
    logMessage(LOG_FAIL, "WinMain: Unable to spawn temporary process: error %d",
               static_cast<int>(GetLastError()));
    return;
  }
  char target[kPathSize + 16];
  char commandLine[kCommandLineSize];
  if (!formatText(target, sizeof target, "%s\\quenzar.exe", g_szCWD) ||
      !formatText(commandLine, sizeof commandLine, "%s %s%s %s%s", g_szTempFile, "/self:", ownPath,
                  "/target:", target)) {
    logMessage(LOG_FAIL, "WinMain: Unable to spawn temporary process: error %d",
               static_cast<int>(ERROR_BUFFER_OVERFLOW));
    return;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, CREATE_DEFAULT_ERROR_MODE,
                      nullptr, nullptr, &startup, &process)) {
    logMessage(LOG_FAIL, "WinMain: Unable to spawn temporary process: error %d",
               static_cast<int>(GetLastError()));
    return;
  }
  ScopedHandle thread(process.hThread);
  ScopedHandle child(process.hProcess);
  logMessage(LOG_INFO, "WinMain: Spawning new temporary stub (self-update mode): %s", commandLine);
  writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_REQUEST_DELETE, g_szTempFile);
}

}  // namespace

void shutDownStub(const char* startDirectory) {
  logMessage(LOG_INFO, "WinMain: Shrinking stub: g_szCWD = %s; szCWD = %s", g_szCWD,
             startDirectory);
  // A first start unpacked the runtime library into the folder it was started
  // from; remove it there too.
  if (!equalsIgnoreCase(g_szCWD, startDirectory))
    removeAtlFrom(startDirectory, "Deleting file ATL.DLL");
  removeAtlFrom(g_szCWD, "Deleteing file ATL.DLL");

  logMessage(LOG_INFO, "Cleaning up external files");
  deleteExternalFiles(g_szCWD);

  if (g_nProcessState == PS_SELF_UPDATE)
    spawnNewStub();

  logMessage(LOG_INFO, "WinMain: Stub shutting down");
  freeBugReport();
  g_xFileVersion.reset();
}
