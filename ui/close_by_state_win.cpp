// WM_CLOSE: what closing means depends on where the run stands.
#include "app/log.h"
#include "install/install_actions.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "ui/client_launch.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/status_text.h"
#include "ui/window_handlers.h"
#include "update/download_state.h"

LRESULT onClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  int state = g_nProcessState;
  if (int id = closeStatusString(state))
    setStatusString(id);
  if (closeShowsWindow(state))
    ShowWindow(window, SW_SHOW);
  invalidateProgressArea(2);

  switch (closeAction(state)) {
    case CLOSE_LAUNCH:
      if (!g_szPrimaryExe[0]) {
        MessageBoxA(nullptr,
                    "The primary executable for this program is unknown.  Please try again "
                    "later!",
                    "Error", MB_ICONERROR);
        g_nProcessState = PS_SHUTDOWN;
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
      }
      launchClient();
      return DefWindowProcA(window, message, wParam, lParam);
    case CLOSE_RESTART_DISCOVERY:
      if (!deferRestartWhileDownloading())
        restartDiscovery();
      return 0;
    case CLOSE_DESTROY:
      return DefWindowProcA(window, message, wParam, lParam);
    case CLOSE_HAND_OFF_UNINSTALL:
      handOffToUninstaller();
      return DefWindowProcA(window, message, wParam, lParam);
    case CLOSE_IGNORE:
      break;
  }
  return 0;
}
