// WndProc: the controller of a run. It only dispatches; the handlers live in
// files named for what the player sees, and the decisions that depend on the
// state alone in window_rules.cpp.
#include "app/log.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/window_handlers.h"
#include "update/download_state.h"

volatile LONG g_nProcessState = PS_NONE;
volatile LONG g_nServerPhase = SP_WAITING;

namespace {

LRESULT onCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!commandAllowed(g_nProcessState, LOWORD(wParam))) {
    logMessage(LOG_WARNING, "WndProc: command %u ignored in state %ld", LOWORD(wParam),
               static_cast<long>(g_nProcessState));
    return 0;
  }
  switch (LOWORD(wParam)) {
    case IDM_ABOUT:
      showAboutBox(window);
      return 0;
    case IDC_CANCEL:
      g_nProcessState = PS_SHUTDOWN;
      PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case IDC_MINIMIZE:
      ShowWindow(window, SW_MINIMIZE);
      return 0;
    case IDC_ACCEPT_TERMS:
      onAcceptTerms();
      return 0;
    case IDC_ACCEPT_DIRECTORY:
      onAcceptDirectory(window);
      return 0;
    case IDC_BROWSE:
      onBrowse();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The window keeps the height of its state's form; moves pass.
LRESULT onWindowPosChanging(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WINDOWPOS* position = reinterpret_cast<WINDOWPOS*>(lParam);
  if (position && refusesHeight(g_nProcessState, position->cy))
    position->flags |= SWP_NOSIZE;
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == IDT_STATE)
        onStateTimer(window);
      else if (wParam == IDT_FLASH_POLL)
        onFlashPollTimer(window);
      return 0;
    case WM_COMMAND:
      return onCommand(window, message, wParam, lParam);
    case WM_CLOSE:
      return onClose(window, message, wParam, lParam);
    case WM_PAINT:
      paintWindow(window);
      return 0;
    case WM_DESTROY:
      if (g_hDownloadThread) {
        CloseHandle(g_hDownloadThread);
        g_hDownloadThread = nullptr;
      }
      // A run that ends during a download (Cancel, an error box) leaves no
      // temporary file; after a self-update the file is the new stub.
      if (g_nProcessState != PS_SELF_UPDATE && g_szTempFile[0]) {
        DeleteFileA(g_szTempFile);
        g_szTempFile[0] = '\0';
      }
      PostQuitMessage(0);
      return 0;
    case WM_NCHITTEST:
      return HTCAPTION;
    case WM_WINDOWPOSCHANGING:
      return onWindowPosChanging(window, message, wParam, lParam);
    case WM_DOWNLOAD_FINISHED:
      onDownloadFinished(window, wParam);
      return 0;
    case WM_REQUEST_PRODUCT_INFO:
      onRequestProductInfo(window);
      return 0;
    case WM_PRODUCT_INFO_READY:
      onProductInfoReady(window);
      return 0;
    case WM_BUG_REPORT_PROMPT:
      onBugReportPrompt();
      return 0;
    case WM_DOWNLOADS_COMPLETE:
      onDownloadsComplete(window);
      return 0;
    case WM_BEGIN_UNINSTALL:
      onBeginUninstall(window);
      return 0;
    case WM_SHOW_TERMS:
      onShowTerms();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
