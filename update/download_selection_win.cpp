#include "update/download_selection.h"

#include <windows.h>
#include <commctrl.h>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/self_update.h"
#include "app/win_handles.h"
#include "app/window_link.h"
#include "update/download_state.h"
#include "update/file_crc.h"
#include "update/file_selection.h"
#include "update/manifest.h"
#include "update/target_path.h"
#include "update/temp_file.h"

namespace {

bool isType(const FileDescriptor* entry, const char* type) {
  return equalsIgnoreCase(entry->szFileType, type);
}

void clearSelection() {
  g_pxDownloadFile = nullptr;
  g_nDownloadSize = 0;
  g_szTempFile[0] = '\0';
}

// The primary executable's stored path and the checksum of the copy on disk
// before any download, for the launch and its record.
void recordPrimaryExecutable(const FileDescriptor* entry) {
  char stored[kTargetSize];
  if (!makeStoredFileName(entry->szTargetFilename, entry->bCompressed != 0, stored, sizeof stored))
    return;
  copyText(g_szPrimaryExe, sizeof g_szPrimaryExe, stored);
  copyText(g_szLastRunPath, sizeof g_szLastRunPath, stored);
  g_ulPrimaryExeCrc = calculateFileCrc(stored, true);
}

DownloadPhase phaseOfState(int state) {
  switch (state) {
    case PS_FLASH_INSTALLATION:
      return PHASE_FLASH_INSTALLATION;
    case PS_SELF_UPDATE:
      return PHASE_SELF_UPDATE;
    case PS_UPDATE:
      return PHASE_UPDATE;
    default:
      return PHASE_OTHER;
  }
}

}  // namespace

void selectFileForDownload(FileDescriptor* entry) {
  g_pxDownloadFile = entry;
  g_nDownloadSize = entry->nFileSize;
  makeTempFileName(g_szTempFile, sizeof g_szTempFile);
  g_pxShownFile = entry;
  invalidateProgressArea(0);
}

bool selectSelfUpdate() {
  g_pxShownFile = nullptr;
  if (!g_pxFileDescriptor) {
    logMessage(LOG_WARNING, "selectSelfUpdate: g_pxFileDescriptor = NULL; not in self-update mode");
    return false;
  }
  for (FileDescriptor* entry = g_pxFileDescriptor; entry; entry = entry->pNext) {
    if (!isType(entry, kTypeStub))
      continue;
    logMessage(LOG_INFO, "selectSelfUpdate: found stub");
    bool stale = validateFile(entry);
    logMessage(LOG_INFO, "selectSelfUpdate: file requires download: %d", stale ? 1 : 0);
    if (stale && isSelfUpdateRun()) {
      // This run is the new stub of a hand-over: its copy over the installed
      // stub failed, or the service lists another stub than it sent. Fetching
      // and starting it again would repeat on every start; the update goes on.
      logMessage(LOG_WARNING,
                 "selectSelfUpdate: %s still differs after a self-update; not updating it again",
                 entry->szTargetFilename);
      return false;
    }
    if (stale) {
      selectFileForDownload(entry);
      logMessage(LOG_INFO, "selectSelfUpdate: requesting download of %s to %s", entry->szUrl,
                 g_szTempFile);
      return true;
    }
  }
  return false;
}

bool selectNextFile() {
  if (g_nProcessState == PS_FLASH_INSTALLATION) {
    for (FileDescriptor* entry = g_pxFileDescriptor; entry; entry = entry->pNext) {
      if (isType(entry, kTypeFlashInstaller)) {
        selectFileForDownload(entry);
        return true;
      }
    }
    return false;
  }
  if (g_nProcessState == PS_SELF_UPDATE)
    return true;
  while (FileDescriptor* entry = g_pxFileDescriptor) {
    bool needs = !isType(entry, kTypeInstaller) && !isType(entry, kTypeStub) &&
                 !isType(entry, kTypeFlashInstaller) && validateFile(entry);
    if (isType(entry, kTypePrimaryExe))
      recordPrimaryExecutable(entry);
    if (needs) {
      selectFileForDownload(entry);
      return true;
    }
    dropFirstFileDescriptor();
  }
  clearSelection();
  return false;
}

bool checkFilesWritable() {
  for (const FileDescriptor* entry = g_pxFileDescriptor; entry; entry = entry->pNext) {
    char stored[kTargetSize];
    if (!entry->szTargetFilename[0] ||
        !makeStoredFileName(entry->szTargetFilename, entry->bCompressed != 0, stored,
                            sizeof stored))
      continue;
    ScopedHandle file(CreateFileA(stored, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    // A running client holds its files: Windows 9x refuses the open with
    // access denied, the NT family (and Wine) with a sharing violation.
    DWORD error = file.valid() ? 0 : GetLastError();
    if ((error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
        !isType(entry, kTypeStub)) {
      logMessage(LOG_WARNING, "checkFilesWritable: %s is locked", stored);
      return false;
    }
  }
  return true;
}

void initDownloadProgress() {
  // A bug report's upload is another phase with its own total; no report is
  // built here, so that phase counts nothing.
  uint32_t total = downloadTotal(g_pxFileDescriptor, phaseOfState(g_nProcessState), validateFile);
  g_nProgressDone = 0;
  g_nProgressTotal = total;
  SendMessageA(g_hProgressBar, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
  SendMessageA(g_hProgressBar, PBM_SETPOS, 0, 0);
}

const char* shownFileName() {
  const FileDescriptor* shown = g_pxShownFile;
  return shown ? shown->szBaseName : nullptr;
}
