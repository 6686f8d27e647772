#pragma once

#include <windows.h>

// The unhandled-exception filter registered first thing in WinMain. Writes
// the diagnostic log, enciphered to whole 32-byte blocks with the report key,
// to "quenzar.log" in the install folder (as rememberCrashFolder last read
// it; the current folder when it is not set) and ends the process without the system's error
// dialog. It allocates nothing and takes no lock, so it works when the heap is corrupt or the
// faulting thread holds the log's lock.
LONG WINAPI crashFilter(EXCEPTION_POINTERS* exception);

// Reads the install folder ("CWD") into the filter's own buffer: at start,
// and again once an install has recorded it.
void rememberCrashFolder();
