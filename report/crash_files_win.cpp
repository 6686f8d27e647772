#include "report/crash_files.h"

#include <windows.h>

#include <cstring>

#include "app/bounded_text.h"
#include "app/client_contract.h"
#include "app/registry.h"
#include "report/reported_list.h"
#include "update/file_crc.h"

namespace {

struct CrashFile {
  const char* name;
  const char* listValue;
  unsigned bit;
};

const CrashFile kCrashFiles[] = {
    {kClientUsageFile, VALUE_USG_REPORTS, kCrashUsageFile},
    {kClientDebugDumpFile, VALUE_DBG_REPORTS, kCrashDebugDumpFile},
    {kClientLogFile, VALUE_LOG_REPORTS, kCrashLogFile},
};

// Reads a list into buffer (kReportedListBytes); its size, 0 when unreadable.
size_t readList(const char* valueName, uint8_t* buffer) {
  memset(buffer, 0, kReportedListBytes);
  DWORD size = kReportedListBytes;
  if (readRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, valueName, buffer, &size) != 0)
    return 0;
  return size;
}

bool isUnreported(const char* valueName, uint32_t crc) {
  uint8_t list[kReportedListBytes];
  return !reportedListContains(list, readList(valueName, list), crc);
}

// Checksum of a crash file that exists and opens (without sharing, as the
// client holds it while it runs); false when it does not.
bool crashFileCrc(const char* name, uint32_t* crc) {
  char path[MAX_PATH + 16];
  if (!crashFilePath(name, path, sizeof path))
    return false;
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  CloseHandle(file);
  *crc = calculateFileCrc(path, false);
  return true;
}

}  // namespace

bool isUsgUnreported(uint32_t crc) {
  return isUnreported(VALUE_USG_REPORTS, crc);
}

bool isDbgUnreported(uint32_t crc) {
  return isUnreported(VALUE_DBG_REPORTS, crc);
}

bool isLogUnreported(uint32_t crc) {
  return isUnreported(VALUE_LOG_REPORTS, crc);
}

bool crashFilePath(const char* name, char* path, size_t pathSize) {
  char folder[MAX_PATH] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, folder, sizeof folder);
  if (folder[0] == '\0')
    return copyText(path, pathSize, name);
  SetCurrentDirectoryA(folder);
  return formatText(path, pathSize, "%s\\%s", folder, name);
}

bool hasUnreportedCrashFiles() {
  bool unreported = false;
  for (const CrashFile& file : kCrashFiles) {
    uint32_t crc = 0;
    if (crashFileCrc(file.name, &crc) && isUnreported(file.listValue, crc))
      unreported = true;
  }
  return unreported;
}

void recordReportedFiles(unsigned files) {
  for (const CrashFile& file : kCrashFiles) {
    uint32_t crc = 0;
    if (!(files & file.bit) || !crashFileCrc(file.name, &crc) || !isUnreported(file.listValue, crc))
      continue;
    uint8_t list[kReportedListBytes];
    size_t size = reportedListAppend(list, readList(file.listValue, list), crc);
    writeRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, file.listValue, list,
                        static_cast<DWORD>(size));
  }
}

void deleteCrashFiles(unsigned files) {
  for (const CrashFile& file : kCrashFiles) {
    char path[MAX_PATH + 16];
    if ((files & file.bit) && crashFilePath(file.name, path, sizeof path))
      DeleteFileA(path);
  }
}
