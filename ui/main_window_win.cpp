#include "ui/main_window.h"

#include <commctrl.h>

#include "app/app_state.h"
#include "app/unbuilt_steps.h"
#include "ui/messages.h"

HWND g_hMainWnd;

ATOM registerWindowClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELORIN));
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELORIN));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = g_szWindowClass;
  return RegisterClassExA(&windowClass);
}

bool initMainWindow(HINSTANCE instance, int showCommand) {
  g_hInstance = instance;
  InitCommonControls();
  placeAtlRuntime();

  RECT screen = {};
  GetClientRect(GetDesktopWindow(), &screen);
  int x = (screen.right - kWindowWidth) / 2;
  int y = (screen.bottom - kSmallFormHeight) / 2;
  g_hMainWnd = CreateWindowExA(0, g_szWindowClass, g_szWindowTitle, WS_POPUP, x, y, kWindowWidth,
                               kSmallFormHeight, nullptr, nullptr, instance, nullptr);
  if (!g_hMainWnd)
    return false;
  SetWindowLongA(g_hMainWnd, GWL_USERDATA, static_cast<LONG>(MAIN_WINDOW_MARKER));

  ShowWindow(g_hMainWnd, showCommand);
  UpdateWindow(g_hMainWnd);
  if (g_nProcessState == PS_NONE)
    g_nProcessState = PS_DISCOVERY;
  SetTimer(g_hMainWnd, IDT_STATE, 1000, nullptr);
  return true;
}
