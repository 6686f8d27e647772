#include "app/instance.h"

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/registry.h"
#include "app/win_handles.h"
#include "app/window_link.h"

bool findRunningInstance() {
  return EnumChildWindows(GetDesktopWindow(), enumInstanceWindow, 0) == 1;
}

BOOL CALLBACK enumInstanceWindow(HWND window, LPARAM threadId) {
  if (threadId != 0) {
    if (GetWindowThreadProcessId(window, nullptr) != static_cast<DWORD>(threadId))
      return TRUE;
    SetForegroundWindow(window);
    ShowWindow(window, SW_SHOW);
    return FALSE;
  }

  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  if (equalsIgnoreCase(title, CLIENT_WINDOW_TITLE)) {
    SetForegroundWindow(GetParent(window));
    InterlockedExchange(&g_nProcessState, PS_SHUTDOWN);
    return FALSE;
  }
  if (static_cast<DWORD>(GetWindowLongPtrA(window, GWLP_USERDATA)) != MAIN_WINDOW_MARKER)
    return TRUE;

  char folder[kPathSize] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, folder, sizeof folder);
  if (folder[0]) {
    SetForegroundWindow(window);
    InterlockedExchange(&g_nProcessState, PS_SHUTDOWN);
    return FALSE;
  }
  // No installation recorded: that copy is a half-started installer; end it
  // so that this start can take over.
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == GetCurrentProcessId())
    return TRUE;
  ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (process.valid())
    TerminateProcess(process.get(), 0);
  return TRUE;
}
