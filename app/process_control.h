// Finding and ending the game client that the last launch started.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>

// Whether a module of process processId has the full path path (letters
// compared without regard to case); its entry is copied to out (entrySize
// bytes at most). The Toolhelp functions are bound on first use: systems
// without them (NT 4.0) answer false.
bool findProcessModule(DWORD processId, const char* path, MODULEENTRY32* out, DWORD entrySize);

// Ends the process processId when it still runs the file at path and that
// file still has the checksum recorded at its launch. False only when such a
// process exists and could not be ended. A path outside the install folder
// (g_szCWD) is never used to end anything: true, nothing ended.
bool terminateIfRunning(const char* path, uint32_t processId, uint32_t checksum);

// TerminateProcess, replaceable by tests that need a process that cannot be
// ended (nullptr restores the system's).
using TerminateProcessFunction = BOOL(WINAPI*)(HANDLE, UINT);
void setTerminateProcessForTesting(TerminateProcessFunction function);
