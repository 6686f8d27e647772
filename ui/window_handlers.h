// Handlers of WndProc, grouped in files by what the player sees. Each runs on
// the GUI thread and returns the message's result where it has one.
#pragma once

#include <windows.h>

// The last download worker started.
extern HANDLE g_hDownloadThread;

// discovery_win.cpp: what this run does, and the wait for product info.
void restartDiscovery();
void onStateTimer(HWND window);
void onFlashPollTimer(HWND window);
void onRequestProductInfo(HWND window);

// terms_and_folder_win.cpp: the terms screen, the folder chooser, install.
void onShowTerms();
void onAcceptTerms();
void onAcceptDirectory(HWND window);
void onBrowse();
// Whether files can be created in path (a folder, or a name to be created).
bool canWriteDirectory(const char* path);

// update_progress_win.cpp: product info, downloads, the end of an update.
void onProductInfoReady(HWND window);
void onDownloadFinished(HWND window, WPARAM succeeded);
void onDownloadsComplete(HWND window);

// store_download_win.cpp: the downloaded head entry goes to its stored name,
// then the next file downloads (or WM_DOWNLOADS_COMPLETE is posted).
void storeDownloadedFile(HWND window);
// Starts the worker for the selected file into g_hDownloadThread; posts a
// failed WM_DOWNLOAD_FINISHED when no worker could start.
void startSelectedDownload(HWND window);
// A close that restarts discovery while a worker runs: remembered, and the
// worker told to stop; false when no worker runs (restart at once).
bool deferRestartWhileDownloading();
// On WM_DOWNLOAD_FINISHED: the worker has ended. When a restart waits for it,
// its result is dropped (temporary file and buffer), discovery restarts and
// true is returned.
bool dropDownloadForRestart();

// bug_report_prompt_win.cpp
void onBugReportPrompt();

// uninstall_handoff_win.cpp
void onBeginUninstall(HWND window);
// Copies the executable to a temporary file and starts it to finish the
// uninstall once this process has ended; false when nothing was started.
bool handOffToUninstaller();

// close_by_state_win.cpp
LRESULT onClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
