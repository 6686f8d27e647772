#pragma once

#include <windows.h>

// The unhandled-exception filter registered first thing in WinMain. Ends the
// process without the system's error dialog.
LONG WINAPI crashFilter(EXCEPTION_POINTERS* exception);
