// The program's states, window messages, timers and command identifiers.
#pragma once

#include <windows.h>

#include "ui/process_state.h"
#include "ui/resource.h"

#define WM_DOWNLOAD_FINISHED (WM_USER + 1)
#define WM_REQUEST_PRODUCT_INFO (WM_APP + 100)
#define WM_PRODUCT_INFO_READY (WM_APP + 101)
#define WM_BUG_REPORT_PROMPT (WM_APP + 200)
#define WM_DOWNLOADS_COMPLETE (WM_APP + 202)
#define WM_BEGIN_UNINSTALL (WM_APP + 300)
#define WM_SHOW_TERMS (WM_APP + 301)

#define IDT_STATE 1
#define IDT_FLASH_POLL 2

#define IDC_CANCEL 200
#define IDC_MINIMIZE 201
#define IDC_ACCEPT_TERMS 203
#define IDC_ACCEPT_DIRECTORY 204
#define IDC_BROWSE 205

// GWLP_USERDATA of the main window: how a second start recognises a running stub.
#define MAIN_WINDOW_MARKER 0x39A87FE2

// Written by WndProc on the GUI thread; worker threads set PS_SHUTDOWN before
// posting WM_CLOSE; the instance search sets PS_SHUTDOWN before the window exists.
extern volatile LONG g_nProcessState;
// Written by WndProc on the GUI thread.
extern volatile LONG g_nServerPhase;
