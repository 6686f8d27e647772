#include "ui/main_window.h"

#include "app/log.h"
#include "ui/messages.h"

volatile LONG g_nProcessState = PS_NONE;
volatile LONG g_nServerPhase = SP_WAITING;

namespace {

LRESULT onCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT onClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (g_nProcessState) {
    case PS_SHUTDOWN:
    case PS_SELF_UPDATE:
      return DefWindowProcA(window, message, wParam, lParam);
    default:
      // The states that end the run set PS_SHUTDOWN first; a close from
      // outside in any other state leaves the window in place.
      return 0;
  }
}

}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == IDT_STATE) {
        // Discovery of what this run does is not part of this build: the
        // window stays hidden until Cancel ends the run.
        KillTimer(window, IDT_STATE);
        logMessage(LOG_WARNING, "WndProc: discovery not part of this build");
      }
      return 0;
    case WM_COMMAND:
      return onCommand(window, message, wParam, lParam);
    case WM_CLOSE:
      return onClose(window, message, wParam, lParam);
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCHITTEST:
      return HTCAPTION;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
