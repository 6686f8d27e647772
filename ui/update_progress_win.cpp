// An update in progress: product info arrives, files download one after
// another, and the update ends in the launch or the maintenance notice.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/process_control.h"
#include "app/relative_path.h"
#include "app/stub_expansion.h"
#include "app/win_handles.h"
#include "install/install_actions.h"
#include "install/uninstall.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "ui/client_launch.h"
#include "ui/flash_check.h"
#include "ui/flash_installer.h"
#include "ui/flash_version.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/status_text.h"
#include "ui/window_handlers.h"
#include "update/download_selection.h"
#include "update/download_state.h"
#include "update/published_download.h"
#include "update/server_status.h"

namespace {

// Hides the window and asks before browser windows are closed for the Flash
// installer; false when the user declined.
bool askToCloseBrowsers() {
  ShowWindow(g_hMainWnd, SW_HIDE);
  char text[512];
  formatText(text, sizeof text,
             "Quenzar software requires Flash %d to be installed on your computer.\nAll browser "
             "windows will be automatically closed to continue the installation.\n\nDo you wish "
             "to continue?",
             kRequiredFlashVersion);
  if (MessageBoxA(nullptr, text, "Flash Installation",
                  MB_OKCANCEL | MB_ICONQUESTION | MB_SYSTEMMODAL) != IDOK)
    return false;
  closeBrowsers();
  ShowWindow(g_hMainWnd, SW_SHOW);
  return true;
}

// Ends the client of the last launch when it holds the files; false when the
// files stay locked after two checks.
bool clientFilesFree() {
  int attempts = 2;
  for (;;) {
    if (checkFilesWritable())
      return true;
    --attempts;
    char relative[kPathSize] = "";
    char path[kPathSize * 2] = "";
    if (!normalizeRelativePath(g_szLastRunPath, relative, sizeof relative) ||
        !formatText(path, sizeof path, "%s\\%s", g_szCWD, relative)) {
      logMessage(LOG_WARNING, "WndProc: launch record path too long; client not ended");
      return false;
    }
    if (!terminateIfRunning(path, g_ulLastRunPid, g_ulPrimaryExeCrc) || attempts <= 0)
      return false;
  }
}

void startNextDownload(HWND window) {
  invalidateProgressArea(3);
  // The installer runs once per run; after it the window waits for Flash.
  bool installerDone = g_nProcessState == PS_FLASH_INSTALLATION && flashInstallerHasRun();
  if (!installerDone && selectNextFile()) {
    layoutWindow();
    initDownloadProgress();
    ShowWindow(g_hProgressBar, SW_SHOW);
    RedrawWindow(window, nullptr, nullptr, 0);
    startSelectedDownload(window);
    logMessage(LOG_INFO, "WndProc: next file selected for download; downloading...");
    return;
  }
  if (g_nProcessState == PS_FLASH_INSTALLATION) {
    SetTimer(window, IDT_FLASH_POLL, 1000, nullptr);
  } else if (g_nProcessState == PS_UPDATE) {
    logMessage(LOG_INFO, "WndProc: downloads complete; starting execution mode");
    PostMessageA(window, WM_DOWNLOADS_COMPLETE, 0, 0);
  }
}

void shutDown(HWND window) {
  g_nProcessState = PS_SHUTDOWN;
  PostMessageA(window, WM_CLOSE, 0, 0);
}

// A download that failed: the warning box, the progress back to its start,
// the temporary file deleted, and the run ends.
void failDownload(HWND window) {
  MessageBoxA(window,
              "There was an error trying to download files.  Your connection to the internet "
              "might have been lost.  Please try again later!",
              "Download Error", MB_ICONWARNING);
  SendMessageA(g_hProgressBar, PBM_SETPOS, 0, 0);
  copyText(g_szPercent, sizeof g_szPercent, "0%");
  DeleteFileA(g_szTempFile);
  g_nProcessState = PS_SHUTDOWN;
  invalidateProgressArea(3);
  PostMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

void onProductInfoReady(HWND window) {
  logMessage(LOG_INFO, "WndProc: requesting product info (phase 2)");
  g_nServerPhase = SP_CONNECTED;
  switch (g_nProcessState) {
    case PS_FLASH_INSTALLATION: {
      char status[kShortTextSize] = "";
      char format[kShortTextSize] = "";
      LoadStringA(g_hInstance, IDS_FLASH_REQUIRED, format, sizeof format);
      if (formatText(status, sizeof status, format, kRequiredFlashVersion))
        setStatusText(status);
      if (isBrowserOpen() && !askToCloseBrowsers()) {
        shutDown(window);
        return;
      }
      layoutWindow();
      initDownloadProgress();
      break;
    }
    case PS_UPDATE: {
      bool selfUpdate = selectSelfUpdate();
      logMessage(LOG_INFO, "WndProc: self-update mode detected: %d", selfUpdate ? 1 : 0);
      if (selfUpdate)
        g_nProcessState = PS_SELF_UPDATE;
      setStatusString(IDS_DOWNLOADING);
      if (!clientFilesFree()) {
        MessageBoxA(nullptr, "Unable to play poker; please restart your computer", "Error",
                    MB_ICONERROR);
        shutDown(window);
        return;
      }
      break;
    }
    case PS_BUG_REPORT:
      PostMessageA(window, WM_BUG_REPORT_PROMPT, 0, 0);
      return;
    default:
      break;
  }
  startNextDownload(window);
}

void onDownloadFinished(HWND window, WPARAM succeeded) {
  if (dropDownloadForRestart())
    return;
  if (succeeded != 1) {
    failDownload(window);
    return;
  }
  // The new stub is started only when it is the published file; anything
  // else ends the run as a failed download does. (The Flash installer is
  // checked where it is run, with its file held open until it ends.)
  if (g_nProcessState == PS_SELF_UPDATE && !isPublishedDownload(g_pxDownloadFile, g_szTempFile)) {
    failDownload(window);
    return;
  }
  // The entry is stored and freed below; the file line goes with it until
  // the next file is selected.
  g_pxShownFile = nullptr;
  switch (g_nProcessState) {
    case PS_SELF_UPDATE:
      PostMessageA(window, WM_CLOSE, 0, 0);
      break;
    case PS_FLASH_INSTALLATION:
      runFlashInstaller(window);
      break;
    case PS_UPDATE:
      storeDownloadedFile(window);
      break;
    default:
      break;
  }
}

void onDownloadsComplete(HWND) {
  if (checkServerStatus()) {
    g_nProcessState = PS_EXECUTION;
    PostMessageA(g_hMainWnd, WM_CLOSE, 0, 0);
    return;
  }
  g_nServerPhase = SP_MAINTENANCE;
  setStatusString(IDS_TRY_LATER);
  layoutWindow();
  invalidateProgressArea(3);
}
