#include <windows.h>

#include "app/app_state.h"
#include "app/atl_runtime.h"
#include "app/bounded_text.h"
#include "app/file_version.h"
#include "app/log.h"
#include "app/process_control.h"
#include "app/registry.h"
#include "app/startup.h"
#include "app/stub_expansion.h"
#include "app/win_handles.h"
#include "app/window_link.h"
#include "install/uninstall.h"
#include "report/bug_report.h"
#include "update/download_state.h"

namespace {

constexpr size_t kCommandLineSize = 516 * 2 + kTempFileSize + 32;

// Frees the control-hosting library and deletes the "ATL.DLL" this run made
// from the carried copy, when folder is where it made it. A folder's own
// "ATL.DLL" (another program's, or one a player put there) is not ours to
// delete; the carried "atl98.dll" goes with the other expanded files.
void removeAtlFrom(const char* folder, const char* deleteLogText) {
  logMessage(LOG_INFO, "Setting current working directory to %s", folder);
  SetCurrentDirectoryA(folder);
  logMessage(LOG_INFO, "Freeing library ATL.DLL");
  freeAtlRuntime();
  if (!atlPlacedHere())
    return;
  logMessage(LOG_INFO, "%s", deleteLogText);
  DWORD error = deletePlacedAtlRuntime();
  if (error != 0)
    logMessage(LOG_FAIL, "WinMain: Unable to remove ATL.DLL: error %d", static_cast<int>(error));
}

void spawnNewStub() {
  char ownPath[516] = "";
  DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  if (length == 0 || length >= sizeof ownPath) {
    logMessage(LOG_FAIL, "WinMain: Unable to spawn temporary process: error %d",
               static_cast<int>(GetLastError()));
    DeleteFileA(g_szTempFile);
    return;
  }
  char target[kPathSize + 16];
  char commandLine[kCommandLineSize];
  // The program is quoted and named as the application too: unquoted, a
  // temporary folder with blanks ("C:\Documents and Settings\...") would
  // have the system try "C:\Documents.exe" and the like first.
  if (!formatText(target, sizeof target, "%s\\quenzar.exe", g_szCWD) ||
      !formatText(commandLine, sizeof commandLine, "\"%s\" %s%s %s%s", g_szTempFile, "/self:",
                  ownPath, "/target:", target)) {
    logMessage(LOG_FAIL, "WinMain: Unable to spawn temporary process: error %d",
               static_cast<int>(ERROR_BUFFER_OVERFLOW));
    DeleteFileA(g_szTempFile);
    return;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(g_szTempFile, commandLine, nullptr, nullptr, TRUE, CREATE_DEFAULT_ERROR_MODE,
                      nullptr, nullptr, &startup, &process)) {
    logMessage(LOG_FAIL, "WinMain: Unable to spawn temporary process: error %d",
               static_cast<int>(GetLastError()));
    // Nobody runs it and nobody would delete it later.
    DeleteFileA(g_szTempFile);
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
  // A first start places the runtime library in the folder it was started
  // from; remove it there too.
  if (!equalsIgnoreCase(g_szCWD, startDirectory))
    removeAtlFrom(startDirectory, "Deleting file ATL.DLL");
  // Before installation the library is placed in the program's own folder,
  // which is neither of those when the player started it from another
  // current directory.
  char placedFolder[kPathSize];
  if (placedAtlFolder(placedFolder, sizeof placedFolder) &&
      !equalsIgnoreCase(placedFolder, g_szCWD))
    removeAtlFrom(placedFolder, "Deleting file ATL.DLL");
  removeAtlFrom(g_szCWD, "Deleteing file ATL.DLL");

  logMessage(LOG_INFO, "Cleaning up external files");
  deleteExternalFiles(g_szCWD);

  if (g_nProcessState == PS_SELF_UPDATE)
    spawnNewStub();

  logMessage(LOG_INFO, "WinMain: Stub shutting down");
  freeBugReport();
  g_xFileVersion.reset();
}
