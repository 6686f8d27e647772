// Steps the window's state machine calls whose work is not part of this build
// yet (manifest, selection, download, server status, install actions, launch,
// bug report, Flash, tracking, browser windows). Each logs
// "WARNING: <name>: not part of this build" and answers what keeps a run
// honest and safe: nothing is fetched, selected, installed or started, and no
// later step acts as if it had been. Later work replaces a function here
// without touching WndProc or its handlers.
#pragma once

#include <windows.h>

#include "report/bug_report.h"
#include "report/crash_files.h"

// Manifest thread: starts the fetch of "product.txt" and returns the thread,
// or null when none was started. Without a manifest reader nothing starts,
// WM_PRODUCT_INFO_READY never arrives and the update keeps waiting.
HANDLE startProductInfoThread();
// Download worker for the selected file; null when none was started.
HANDLE startDownloadThread();

// Selection: whether the manifest lists a newer stub, and the next stale file.
bool selectSelfUpdate();
bool selectNextFile();
// Whether the listed client files can be replaced (none are listed here).
bool checkFilesWritable();
// Sets the progress range for the files selected.
void initDownloadProgress();
// The bare name of the file being downloaded, or null.
const char* shownFileName();

// Server status: false only when the service said it is in maintenance.
bool checkServerStatus();
// Starts the game client (the window is destroyed afterwards).
void launchClient();
// Brings the first window of a thread to the front.
void bringThreadWindowForward(DWORD threadId);

// Install actions into g_szCWD; true on success.
bool performInstallActions();
// Sends a request on a thread of its own; the answer is not read.
void requestUrlAsync(const char* url);
// The install-start tracking address, or "" when none is built.
const char* installStartUrl();

// Flash: whether version 8 or later is installed; browser windows.
bool flashCheckPasses();
bool isBrowserWindowOpen();
void closeBrowserWindows();

// Bug reports of crash files left in the install folder are built:
// report/crash_files.h and report/bug_report.h.

// Stores the downloaded head entry of the manifest list under its target
// name and goes on with the next file (or WM_DOWNLOADS_COMPLETE).
void storeDownloadedFile(HWND window);
