// Discovery (what this run does) and the wait for product info.
#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/registry.h"
#include "app/run_mode.h"
#include "install/install_actions.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "ui/client_launch.h"
#include "ui/flash_check.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/window_handlers.h"
#include "update/product_info_thread.h"

HANDLE g_hDownloadThread;

namespace {

void discover() {
  logMessage(LOG_INFO, "WndProc: process state = discovery");
  DiscoveryFacts facts = {};
  facts.uninstallRequested = g_nRunMode == RUN_MODE_UNINSTALL_REQUEST;
  facts.phase = g_nServerPhase;
  facts.flashPasses = checkFlash;

  char folder[kPathSize] = "";
  if (!facts.uninstallRequested) {
    readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, folder, sizeof folder);
    facts.cwdRecorded = folder[0] != '\0';
    facts.cwdEntered = facts.cwdRecorded && SetCurrentDirectoryA(folder);
    if (!hasUnreportedCrashFiles())
      deleteCrashFiles();
    facts.reportPrepared = wasBugReportAttempted();
    facts.unreportedCrashFiles = !facts.reportPrepared && hasUnreportedCrashFiles();
  }

  DiscoveryOutcome outcome = decideDiscovery(facts);
  g_nProcessState = outcome.state;
  g_nServerPhase = outcome.phase;
  if (outcome.cwd == CWD_EMPTY)
    g_szCWD[0] = '\0';
  else if (outcome.cwd == CWD_SET_FROM_REGISTRY)
    copyText(g_szCWD, sizeof g_szCWD, folder);  // both 260 bytes
  for (const char* line : outcome.log) {
    if (line)
      logMessage(LOG_INFO, "%s", line);
  }
}

}  // namespace

void restartDiscovery() {
  g_nProcessState = PS_DISCOVERY;
  g_nServerPhase = SP_WAITING;
  SetTimer(g_hMainWnd, IDT_STATE, 1, nullptr);
}

void onStateTimer(HWND window) {
  if (g_nProcessState == PS_DISCOVERY)
    discover();
  switch (stateTimerStep(g_nProcessState, g_nServerPhase)) {
    case TIMER_POST_BEGIN_UNINSTALL:
      KillTimer(window, IDT_STATE);
      PostMessageA(window, WM_BEGIN_UNINSTALL, 0, 0);
      break;
    case TIMER_POST_SHOW_TERMS:
      KillTimer(window, IDT_STATE);
      PostMessageA(window, WM_SHOW_TERMS, 0, 0);
      break;
    case TIMER_POST_REQUEST_PRODUCT:
      KillTimer(window, IDT_STATE);
      PostMessageA(window, WM_REQUEST_PRODUCT_INFO, 0, 0);
      break;
    case TIMER_LEAVE_ARMED:
      break;
  }
}

void onFlashPollTimer(HWND window) {
  KillTimer(window, IDT_FLASH_POLL);
  if (checkFlash()) {
    logMessage(LOG_INFO, "WndProc: flash detected and validated");
    restartDiscovery();
  } else {
    logMessage(LOG_INFO, "WndProc: flash must be upgraded");
    SetTimer(window, IDT_FLASH_POLL, 5000, nullptr);
  }
}

void onRequestProductInfo(HWND window) {
  logMessage(LOG_INFO, "WndProc: requesting product info (phase 1)");
  ShowWindow(window, SW_SHOW);
  startProductInfoThread();
}
