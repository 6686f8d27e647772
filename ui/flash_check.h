// The Flash control on this machine, and the browser windows its installer
// needs closed. All of it runs on the GUI thread.
#pragma once

#include <windows.h>

// True when the Flash control can be created and answers major version 8 or
// later. A control without an automation interface, a version call that
// fails, or an answer that is not a 32-bit integer counts as Flash missing.
// The control is loaded afresh on every call.
bool checkFlash();

// True when at least one browser window (class "IEFrame") exists.
bool isBrowserOpen();

// Ends the process of every browser window; processes that cannot be opened
// for termination are left alone.
void closeBrowsers();

// The enumeration callback behind both. Mode 0: end the window's process when
// it is a browser window, always continue. Mode 1: stop at the first browser
// window. Any other mode: continue.
BOOL CALLBACK enumBrowserWindow(HWND window, LPARAM mode);
