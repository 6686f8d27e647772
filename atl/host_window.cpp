// The control-hosting library carried in the stub for systems without one of
// their own: AtlAxWinInit registers the window class "AtlAxWin", and each
// window of that class shows the web page named by its window text in an
// embedded browser control that fills the window.
#include <windows.h>

#include "atl/browser_site.h"

namespace {

const char kHostClass[] = "AtlAxWin";
// Longest address a page may have (the browser's own limit), in characters.
const int kUrlSize = 2084;

HINSTANCE g_hLibrary;
bool g_bClassRegistered;

BrowserSite* siteOf(HWND window) {
  return reinterpret_cast<BrowserSite*>(GetWindowLongPtrA(window, 0));
}

// Asks the site for the page named by the window text. An address longer
// than the browser takes is not cut short: a cut address would ask the
// service for another page.
void showPage(HWND window, BrowserSite* site) {
  char url[kUrlSize];
  int length = GetWindowTextLengthA(window);
  if (length <= 0 || length >= kUrlSize)
    return;
  GetWindowTextA(window, url, kUrlSize);
  wchar_t wideUrl[kUrlSize];
  if (MultiByteToWideChar(CP_ACP, 0, url, -1, wideUrl, kUrlSize) == 0)
    return;
  site->open(wideUrl);
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      // The window's text was set before WM_CREATE; a window whose control
      // cannot be made stays, empty, so its owner's layout holds.
      BrowserSite* site = BrowserSite::create(window);
      SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(site));
      if (site)
        showPage(window, site);
      return 0;
    }
    case WM_SIZE:
      if (BrowserSite* site = siteOf(window))
        site->resize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_DESTROY:
      if (BrowserSite* site = siteOf(window)) {
        SetWindowLongPtrA(window, 0, 0);
        site->close();
        site->Release();
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

// Registers "AtlAxWin" for the whole process (a global class, so windows of
// it may be created with the caller's own instance handle). TRUE once the
// class is ours, also on every later call.
extern "C" BOOL WINAPI AtlAxWinInit() {
  if (g_bClassRegistered)
    return TRUE;
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_GLOBALCLASS;
  windowClass.lpfnWndProc = hostWindowProc;
  windowClass.cbWndExtra = sizeof(BrowserSite*);
  windowClass.hInstance = g_hLibrary;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kHostClass;
  g_bClassRegistered = RegisterClassExA(&windowClass) != 0;
  return g_bClassRegistered ? TRUE : FALSE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_hLibrary = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && !reserved && g_bClassRegistered) {
    // Unloaded by FreeLibrary while the process goes on: a class left behind
    // would point into code that is no longer there.
    UnregisterClassA(kHostClass, g_hLibrary);
  }
  return TRUE;
}
