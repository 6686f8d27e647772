// What the workers (the manifest thread, the download worker, start-up and
// shutdown) may know of the main window: the messages and timers they post
// to it, the handles they post to, and the run's state. The window itself
// (ui/) implements and owns all of it; nothing below ui/ includes ui/.
#pragma once

#include <windows.h>

#include "app/process_state.h"

#define WM_DOWNLOAD_FINISHED (WM_USER + 1)
#define WM_REQUEST_PRODUCT_INFO (WM_APP + 100)
#define WM_PRODUCT_INFO_READY (WM_APP + 101)
#define WM_BUG_REPORT_PROMPT (WM_APP + 200)
#define WM_DOWNLOADS_COMPLETE (WM_APP + 202)
#define WM_BEGIN_UNINSTALL (WM_APP + 300)
#define WM_SHOW_TERMS (WM_APP + 301)

#define IDT_STATE 1
#define IDT_FLASH_POLL 2

// GWLP_USERDATA of the main window: how a second start recognises a running stub.
#define MAIN_WINDOW_MARKER 0x39A87FE2

// Written by WndProc on the GUI thread; worker threads set PS_SHUTDOWN before
// posting WM_CLOSE; the instance search sets PS_SHUTDOWN before the window exists.
extern volatile LONG g_nProcessState;
// Written by WndProc on the GUI thread.
extern volatile LONG g_nServerPhase;

// Created on the GUI thread. Workers post to the main window; the progress bar
// receives PBM_SETRANGE32/PBM_SETPOS from the download worker.
extern HWND g_hMainWnd;
extern HWND g_hProgressBar;

// Asks for a repaint of one area: 0 file line, 1 percent, 2 status line,
// 3 whole client area (erased). Any other kind does nothing. Any thread.
void invalidateProgressArea(int kind);
