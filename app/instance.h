// Finding another running copy of the stub, or a window of a process that
// this stub started.
#pragma once

#include <windows.h>

// Title of the game client's hidden window, by which a running client is found.
#define CLIENT_WINDOW_TITLE "{457E02F3-AD33-420c-A0CC-D55BC3AD018B}"

// Enumerates the desktop's windows; true when the enumeration ran to its end
// (nothing stopped it). When it stops for a running copy, the process state is
// PS_SHUTDOWN and that copy has been brought forward.
bool findRunningInstance();

// Enumeration callback. With threadId 0 it looks for the client's window or a
// stub's main window; otherwise it brings forward the window of that thread.
BOOL CALLBACK enumInstanceWindow(HWND window, LPARAM threadId);
