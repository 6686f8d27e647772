// one_window: the least program that opens and paints a window, the yardstick
// for velorin.exe's first screen; built with WINDOW_CLASS="IEFrame" it is
// browser_window. It stays until WM_CLOSE or its process is ended.
#include <windows.h>

#ifndef WINDOW_CLASS
#define WINDOW_CLASS "OneWindow"
#endif

static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    TextOutA(BeginPaint(window, &paint), 11, 100, "One window", 10);
    EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_DESTROY)
    PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = WINDOW_CLASS;
  HWND window = RegisterClassA(&windowClass)
                    ? CreateWindowExA(0, WINDOW_CLASS, "One window", WS_POPUP, 302, 211, 420, 345,
                                      nullptr, nullptr, instance, nullptr)
                    : nullptr;
  if (!window)
    return 1;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0)
    DispatchMessageA(&message);
  return 0;
}
