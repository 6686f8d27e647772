// Entry point of velorin.exe: the whole life of a run on the GUI thread.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/companions.h"
#include "app/install_path.h"
#include "app/instance.h"
#include "app/log.h"
#include "app/process_control.h"
#include "app/run_mode.h"
#include "app/self_update.h"
#include "app/startup.h"
#include "app/stub_expansion.h"
#include "install/uninstall.h"
#include "report/crash_filter.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/terms_text.h"
#include "update/install_tracking.h"
#include "update/service_endpoints.h"

namespace {

// Asks before an uninstall; false when the user said No.
bool confirmUninstall() {
  return MessageBoxA(nullptr, "Do you wish to uninstall the poker client?", "Question",
                     MB_ICONQUESTION | MB_YESNO) != IDNO;
}

// An uninstall must first end the client that the last launch started.
bool endLastClient() {
  char path[516] = "";
  if (!g_szLastRunPath[0] || !g_szCWD[0])
    return true;  // no launch recorded, or nothing installed
  if (!joinInstallPath(g_szCWD, g_szLastRunPath, path, sizeof path)) {
    // A recorded path that leaves the install folder names no client of ours.
    logMessage(LOG_WARNING, "WinMain: launch record path '%s' not used; client not checked",
               g_szLastRunPath);
    return true;
  }
  return terminateIfRunning(path, g_ulLastRunPid, g_ulPrimaryExeCrc);
}

void reportDamagedExecutable() {
  logMessage(LOG_FAIL, "WinMain: Unable to expand stub");
  if (MessageBoxA(nullptr, "This client is corrupt.  Do you wish to visit the web site?", "Error",
                  MB_ICONERROR | MB_YESNO) != IDYES)
    return;
  char webSite[kServiceUrlSize];
  if (buildWebSiteUrl(webSite, sizeof webSite))
    ShellExecuteA(nullptr, "open", webSite, nullptr, nullptr, SW_SHOW);
  else
    logMessage(LOG_WARNING, "WinMain: web site address too long; not opened");
}

int runMessageLoop(HINSTANCE instance) {
  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_ACCELERATORS));
  logMessage(LOG_INFO, "WinMain: Processing window messages");
  MSG message = {};
  BOOL result;
  while ((result = GetMessageA(&message, nullptr, 0, 0)) != 0) {
    if (result == -1)
      break;
    if (accelerators && TranslateAcceleratorA(message.hwnd, accelerators, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  SetUnhandledExceptionFilter(crashFilter);
  rememberCrashFolder();
  clearLog();
  if (!commandLine)
    commandLine = const_cast<LPSTR>("");

  if (!passWindowsGate())
    return 0;

  logMessage(LOG_INFO, "WinMain: Initializing global strings, registering classes");
  loadGlobalStrings(instance);
  g_hInstance = instance;
  registerWindowClass(instance);

  // Once for the whole run: the shell links of the install need it, and so
  // do the component checks.
  CoInitialize(nullptr);
  registerCompanionComponents();

  logMessage(LOG_INFO, "WinMain: Checking for current instance of poker");
  g_nRunMode = getRunMode(commandLine);
  switch (g_nRunMode) {
    case RUN_MODE_NORMAL:
      if (!findRunningInstance() && g_nProcessState == PS_SHUTDOWN) {
        logMessage(LOG_INFO, "Current instance found, shutting down");
        return 0;
      }
      logMessage(LOG_INFO, "WinMain: No instance of poker found");
      break;
    case RUN_MODE_UNINSTALL_REQUEST:
      if (!confirmUninstall())
        return 0;
      break;
    default:
      return completeUninstall(commandLine);
  }

  char ownPath[256] = "";
  GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  char startDirectory[kPathSize] = "";
  DWORD length = GetCurrentDirectoryA(sizeof startDirectory, startDirectory);
  if (length >= sizeof startDirectory)
    startDirectory[0] = '\0';

  setWorkingDirectory(g_szCWD, sizeof g_szCWD);
  logMessage(LOG_INFO, "WinMain: current working directory set to: %s", g_szCWD);

  recordStubVersion();

  if (!continueAfterExpansion(expandStub(ownPath))) {
    reportDamagedExecutable();
    return 0;
  }
  buildTermsText();
  buildInstallTrackingUrls();

  readLaunchRecord();

  logMessage(LOG_INFO, "WinMain: Checking to see if self-update mode is appropriate");
  executeSelfUpdateMode(commandLine);

  if (g_nRunMode != RUN_MODE_NORMAL && !endLastClient()) {
    MessageBoxA(nullptr, "Unable to uninstall client.  Please shutdown client first.", "Error",
                MB_ICONERROR);
    return 0;
  }

  processRequestDelete();

  logMessage(LOG_INFO, "WinMain: Performing application window intialization");
  if (!initMainWindow(instance, SW_HIDE))
    return 0;

  int exitCode = runMessageLoop(instance);
  shutDownStub(startDirectory);
  return exitCode;
}
