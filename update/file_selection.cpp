#include "update/file_selection.h"

#include <climits>
#include <cstdlib>

#include "app/bounded_text.h"
#include "app/log.h"
#include "update/file_crc.h"
#include "update/manifest.h"
#include "update/target_path.h"

namespace {

const FileDescriptor* firstOfType(const FileDescriptor* entry, const char* type) {
  for (; entry; entry = entry->pNext)
    if (equalsIgnoreCase(entry->szFileType, type))
      return entry;
  return nullptr;
}

}  // namespace

bool validateFile(const FileDescriptor* pCurrentFile) {
  if (pCurrentFile->szTargetFilename[0] == '\0') {
    logMessage(LOG_WARNING,
               "validateFile: pCurrentFile->szTargetFilename equals NULL; not requesting download");
    return false;
  }
  char stored[kTargetSize];
  // A target without a stored name never passes the manifest parser; should
  // one get here it reads as a missing file.
  uint32_t crc = 0;
  if (makeStoredFileName(pCurrentFile->szTargetFilename, pCurrentFile->bCompressed != 0, stored,
                         sizeof stored))
    crc = calculateFileCrc(stored, pCurrentFile->bStubFile != 0);
  if (crc == pCurrentFile->ulExpectedCrc || pCurrentFile->ulExpectedCrc == 0)
    return false;
  logMessage(LOG_INFO,
             "validateFile: file %s must be downloaded: calculated CRC: %lu versus expected CRC: "
             "%lu",
             pCurrentFile->szTargetFilename, static_cast<unsigned long>(crc),
             static_cast<unsigned long>(pCurrentFile->ulExpectedCrc));
  return true;
}

uint32_t downloadTotal(const FileDescriptor* first,
                       DownloadPhase phase,
                       bool (*mustDownload)(const FileDescriptor*)) {
  const FileDescriptor* entry = nullptr;
  switch (phase) {
    case PHASE_FLASH_INSTALLATION:
      entry = firstOfType(first, kTypeFlashInstaller);
      return entry && entry->nFileSize > 0 ? static_cast<uint32_t>(entry->nFileSize) : 0;
    case PHASE_SELF_UPDATE:
      entry = firstOfType(first, kTypeStub);
      return entry && entry->nFileSize > 0 ? static_cast<uint32_t>(entry->nFileSize) : 0;
    case PHASE_UPDATE:
      break;
    default:
      return 0;
  }
  uint64_t total = 0;
  for (entry = first; entry; entry = entry->pNext) {
    if (equalsIgnoreCase(entry->szFileType, kTypeInstaller) || !mustDownload(entry) ||
        entry->nFileSize <= 0)
      continue;
    total += static_cast<uint64_t>(entry->nFileSize);
    if (total >= INT_MAX)
      return INT_MAX;
  }
  return static_cast<uint32_t>(total);
}

int progressPercent(int64_t done, int64_t total) {
  if (total <= 0 || done <= 0)
    return 0;
  if (done >= total)
    return 100;
  return static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

void updatePercentText(char* text, size_t textSize, int64_t done, int64_t total, bool* pChanged) {
  int percent = progressPercent(done, total);
  if (textSize > 0 && text[0] != '\0')
    *pChanged = atoi(text) != percent;
  formatText(text, textSize, "%d%%", percent);
}
