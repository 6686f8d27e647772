// The first run's screens: the terms, the folder chooser, and the install
// that follows Accept.
#include <cstring>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/registry.h"
#include "app/win_handles.h"
#include "install/install_actions.h"
#include "install/shell_folders.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "ui/client_launch.h"
#include "report/crash_filter.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/status_text.h"
#include "ui/window_handlers.h"
#include "update/install_tracking.h"
#include "update/server_status.h"

void onShowTerms() {
  setStatusString(IDS_TERMS);
  layoutWindow();
  invalidateProgressArea(3);
}

void onAcceptTerms() {
  g_nProcessState = PS_CHOOSE_DIRECTORY;
  layoutWindow();
}

void onAcceptDirectory(HWND window) {
  if (writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, "1") != ERROR_SUCCESS) {
    MessageBoxA(nullptr, "You do not have the required security to install this software.", "Error",
                MB_ICONERROR);
    g_nProcessState = PS_SHUTDOWN;
    PostMessageA(window, WM_CLOSE, 0, 0);
    return;
  }
  requestUrlAsync(g_szInstallStartUrl);
  if (performInstallActions()) {
    rememberCrashFolder();  // a crash from here on leaves its log in the new folder
    g_nProcessState = PS_DISCOVERY;
    g_nServerPhase = SP_WAITING;
    layoutWindow();
    SetTimer(window, IDT_STATE, 1, nullptr);
  } else {
    // The stub could not be put in place: the player is told, and no
    // install is left pending for a later run.
    MessageBoxA(window,
                "There was a problem saving files to your computer.  You may not have "
                "permissions or enough space available to save files!",
                "Download Error", MB_ICONWARNING);
    deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL);
    g_nProcessState = PS_SHUTDOWN;
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

void onBrowse() {
  char previous[kPathSize];
  copyText(previous, sizeof previous, g_szCWD);  // same size: always fits
  if (!chooseInstallFolder(g_szCWD, sizeof g_szCWD, "Choose Installation Directory")) {
    // The browser may have left its display name in the buffer.
    copyText(g_szCWD, sizeof g_szCWD, previous);
    logMessage(LOG_FAIL, "User hit cancel in browse mode");
    return;
  }
  if (!g_szCWD[0]) {
    logMessage(LOG_FAIL, "g_szCWD = NULL in response to SelectFolder()");
    copyText(g_szCWD, sizeof g_szCWD, previous);
  } else {
    char chosen[kPathSize];
    if (!installFolderFor(g_szCWD, chosen, sizeof chosen)) {
      // Cutting the name would install somewhere the user did not choose.
      logMessage(LOG_WARNING, "Browse: folder name too long: %s", g_szCWD);
      copyText(g_szCWD, sizeof g_szCWD, previous);
    } else {
      copyText(g_szCWD, sizeof g_szCWD, chosen);
    }
  }
  if (!canWriteDirectory(g_szCWD))
    copyText(g_szCWD, sizeof g_szCWD, previous);
  if (g_hFolderEdit)
    SetWindowTextA(g_hFolderEdit, g_szCWD);
}

bool canWriteDirectory(const char* path) {
  {
    ScopedHandle probe(CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                   FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (probe.valid())
      return true;  // closing removes it
  }
  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;

  char probeName[MAX_PATH] = "";
  if (!GetTempFileNameA(path, "cci", 0, probeName))
    return false;
  ScopedHandle probe(CreateFileA(probeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!probe.valid()) {
    DeleteFileA(probeName);  // GetTempFileNameA created it
    return false;
  }
  return true;
}
