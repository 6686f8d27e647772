// The download worker: one thread per file, fetching the current selection
// (download_state.h) into memory, resuming after breaks, inflating
// compressed entries, writing the temporary file and posting
// WM_DOWNLOAD_FINISHED to the main window.
#pragma once

#include <windows.h>

// The worker's body. Posts WM_DOWNLOAD_FINISHED 1 when the file is in
// g_szTempFile and g_pDownloadBuffer (g_nDownloadSize bytes), 0 when the
// download failed (also after twelve resumes in a row that brought nothing,
// and when the window asked it to stop); on a bad first answer, a transfer
// that never completes or a compressed file that does not inflate to its
// size it shows its own box and ends the run instead.
DWORD WINAPI ThreadFunc(LPVOID);

// Starts ThreadFunc for the selected file and returns its handle (the caller
// closes it), or null when no thread could be started.
HANDLE startDownloadThread();

// Asks the running worker to stop: it leaves its transfer at the next read or
// during its pause before a resume, stores nothing and posts
// WM_DOWNLOAD_FINISHED 0. Cleared when the next worker starts.
void requestDownloadStop();

// The pause before each resume (5000 ms unless changed here).
void setResumePauseForTesting(DWORD milliseconds);
