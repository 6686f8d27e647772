#include "update/published_download.h"

#include <windows.h>

#include "app/log.h"
#include "app/win_handles.h"
#include "update/file_crc.h"

bool isPublishedDownload(const FileDescriptor* entry, const char* path) {
  if (!entry) {
    logMessage(LOG_FAIL, "isPublishedDownload: no manifest entry for %s; not started", path);
    return false;
  }
  DWORD expectedSize =
      entry->bCompressed ? entry->nUncompressedSize : static_cast<DWORD>(entry->nFileSize);
  DWORD size = INVALID_FILE_SIZE;
  {
    ScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid())
      size = GetFileSize(file.get(), nullptr);
  }
  uint32_t crc = size == expectedSize ? calculateFileCrc(path, entry->bStubFile != 0) : 0;
  if (size == expectedSize && entry->ulExpectedCrc != 0 && crc == entry->ulExpectedCrc)
    return true;
  logMessage(LOG_FAIL,
             "isPublishedDownload: %s is not the published %s (size %lu, checksum %lu; listed "
             "%lu, %lu); not started",
             path, entry->szTargetFilename, static_cast<unsigned long>(size),
             static_cast<unsigned long>(crc), static_cast<unsigned long>(expectedSize),
             static_cast<unsigned long>(entry->ulExpectedCrc));
  return false;
}
