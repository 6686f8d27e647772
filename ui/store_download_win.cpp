// Storing a downloaded file during an update: the head entry of the manifest
// list goes to its stored name, then the next stale file downloads.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/win_handles.h"
#include "install/directory_path.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/window_handlers.h"
#include "update/download_selection.h"
#include "update/download_state.h"
#include "update/download_worker.h"
#include "update/file_crc.h"
#include "update/manifest.h"
#include "update/target_path.h"

namespace {

void savingFailed(HWND window) {
  MessageBoxA(window,
              "There was a problem saving files to your computer.  You may not have permissions "
              "or enough space available to save files!",
              "Download Error", MB_ICONWARNING);
  copyText(g_szPercent, sizeof g_szPercent, "0%");
  DeleteFileA(g_szTempFile);
  invalidateProgressArea(3);
  SendMessageA(g_hProgressBar, PBM_SETPOS, 0, 0);
  g_nProcessState = PS_SHUTDOWN;
  PostMessageA(window, WM_CLOSE, 0, 0);
}

// Writes the whole download to the stored name; false when the file cannot be
// created or not every byte was written (the half file is removed).
bool writeStoredFile(const char* stored) {
  ScopedHandle file(CreateFileA(stored, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    logMessage(LOG_FAIL, "storeDownloadedFile: unable to create %s: error %u", stored,
               static_cast<unsigned>(GetLastError()));
    return false;
  }
  DWORD count = g_nDownloadSize > 0 ? static_cast<DWORD>(g_nDownloadSize) : 0;
  DWORD written = 0;
  if (WriteFile(file.get(), g_pDownloadBuffer, count, &written, nullptr) && written == count)
    return true;
  logMessage(LOG_FAIL, "storeDownloadedFile: %lu of %lu bytes written to %s: error %u",
             static_cast<unsigned long>(written), static_cast<unsigned long>(count), stored,
             static_cast<unsigned>(GetLastError()));
  file.reset();
  DeleteFileA(stored);
  return false;
}

// A worker was started and its WM_DOWNLOAD_FINISHED not yet handled.
bool g_bWorkerRunning;
// A close from outside came while it ran: discovery starts again once it has
// finished, never beside it (the new manifest replaces the list it reads).
bool g_bRestartAfterWorker;

}  // namespace

void startSelectedDownload(HWND window) {
  if (g_hDownloadThread)
    CloseHandle(g_hDownloadThread);
  g_hDownloadThread = startDownloadThread();
  g_bWorkerRunning = g_hDownloadThread != nullptr;
  // Without a worker no WM_DOWNLOAD_FINISHED would come; fail the download
  // rather than wait for ever.
  if (!g_hDownloadThread)
    PostMessageA(window, WM_DOWNLOAD_FINISHED, 0, 0);
}

bool deferRestartWhileDownloading() {
  if (!g_bWorkerRunning)
    return false;
  if (!g_bRestartAfterWorker)
    logMessage(LOG_INFO, "WndProc: close during a download; restarting once it has stopped");
  g_bRestartAfterWorker = true;
  requestDownloadStop();
  return true;
}

bool dropDownloadForRestart() {
  g_bWorkerRunning = false;
  if (!g_bRestartAfterWorker)
    return false;
  g_bRestartAfterWorker = false;
  g_pxShownFile = nullptr;
  DeleteFileA(g_szTempFile);
  free(g_pDownloadBuffer);
  g_pDownloadBuffer = nullptr;
  restartDiscovery();
  return true;
}

void storeDownloadedFile(HWND window) {
  FileDescriptor* entry = g_pxFileDescriptor;
  if (!entry || entry != g_pxDownloadFile || !g_pDownloadBuffer) {
    logMessage(LOG_WARNING, "storeDownloadedFile: no download to store");
    return;
  }
  char folder[kTargetSize];
  char stored[kTargetSize];
  if (!targetFolder(entry->szTargetFilename, folder, sizeof folder) ||
      !makeStoredFileName(entry->szTargetFilename, entry->bCompressed != 0, stored,
                          sizeof stored) ||
      !createDirectoryPath(folder) || !writeStoredFile(stored)) {
    savingFailed(window);
    return;
  }
  // The launch record names the file that is started: once a new primary
  // executable is stored, its checksum replaces that of the copy it replaced
  // (none at all on a first install), so that a later run recognises the
  // client it started.
  if (equalsIgnoreCase(entry->szFileType, kTypePrimaryExe))
    g_ulPrimaryExeCrc = calculateFileCrc(stored, true);
  DeleteFileA(g_szTempFile);
  free(g_pDownloadBuffer);
  g_pDownloadBuffer = nullptr;
  dropFirstFileDescriptor();
  // Between files the layout and the progress range stay: the bar runs once
  // over the whole update.
  if (selectNextFile())
    startSelectedDownload(window);
  else
    PostMessageA(window, WM_DOWNLOADS_COMPLETE, 0, 0);
}
