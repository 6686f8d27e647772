// browser_window: a window of the browser's class "IEFrame" that stays until
// its process is ended (or WM_CLOSE).
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "IEFrame";
  if (!RegisterClassA(&windowClass))
    return 1;
  HWND window = CreateWindowExA(0, "IEFrame", "Browser stand-in", WS_OVERLAPPEDWINDOW, 40, 40, 300,
                                200, nullptr, nullptr, instance, nullptr);
  if (!window)
    return 1;
  ShowWindow(window, SW_SHOW);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0)
    DispatchMessageA(&message);
  return 0;
}
