// Process-wide state that start-up fills. All written by WinMain on the GUI
// thread before the message loop; read-only for worker threads afterwards.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr size_t kShortTextSize = 100;  // title, class name and status texts
constexpr size_t kPathSize = 260;

extern char g_szWindowTitle[kShortTextSize];  // string 103
extern char g_szWindowClass[kShortTextSize];  // string 119
extern char g_szStatus[kShortTextSize];       // status line; string 114 at start
extern char g_szWaitingText[kShortTextSize];  // string 111
extern char g_szCWD[kPathSize];  // install folder from "CWD"; empty before installation
extern int g_nRunMode;           // RunMode of this start
extern HINSTANCE g_hInstance;

// The last launch of the client ("lastRun"), read at start.
extern char g_szLastRunPath[kPathSize];
extern uint32_t g_ulLastRunPid;
extern uint32_t g_ulPrimaryExeCrc;
