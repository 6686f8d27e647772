// The steps of a start before the main window exists, and the shutdown after
// the message loop. Each runs on the GUI thread, in the order WinMain gives.
#pragma once

#include <windows.h>

// True when Windows is newer than 4.0; stores the version through the
// pointers that are not null (0 and 0 when it cannot be read).
bool checkMinimumWindows(DWORD* major, DWORD* minor);

// The Windows gate: 98, Me, NT 4.0, 2000 and XP pass by kind, others by
// checkMinimumWindows. On failure it shows the "minimum of Windows 98"
// message box and returns false.
bool passWindowsGate();

// Loads the window title, class name and status texts from the string table.
void loadGlobalStrings(HINSTANCE instance);

// Changes to the install folder from "CWD", or to the program's own folder
// before installation; copies "CWD" (empty when absent) into out.
void setWorkingDirectory(char* out, size_t outSize);

// Records this stub's version in "lastSRun"; when the version recorded by
// the previous start differs, the reported-crash lists start afresh.
void recordStubVersion();

// Reads "lastRun" into the launch record globals.
void readLaunchRecord();

// Deletes the file named by "requestDelete" left by a self-update, and the
// value once the file is gone. A file still in use keeps the value.
void processRequestDelete();

// Run mode 3: waits for the copy that started this process, deletes it and
// removes the client. Always ends the run (exit code 0).
int completeUninstall(const char* commandLine);

// After the message loop: removes the runtime library and the unpacked files,
// and starts the downloaded stub when the run ended in a self-update.
void shutDownStub(const char* startDirectory);
