#include "update/temp_file.h"

#include <windows.h>

#include <cstring>

#include "app/bounded_text.h"
#include "app/log.h"

bool makeTempFileName(char* out, size_t outSize) {
  if (outSize < MAX_PATH) {
    if (outSize)
      out[0] = '\0';
    return false;
  }
  out[0] = '\0';
  char folder[256] = "";
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length > 0 && length < sizeof folder && GetTempFileNameA(folder, "cci", 0, out))
    return true;

  // No usable temporary folder: use the executable's own folder.
  char ownPath[MAX_PATH] = "";
  length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  char* lastSlash = length > 0 && length < sizeof ownPath ? strrchr(ownPath, '\\') : nullptr;
  if (!lastSlash) {
    logMessage(LOG_FAIL, "makeTempFileName: no temporary folder and no own folder");
    return false;
  }
  lastSlash[1] = '\0';
  if (!GetTempFileNameA(ownPath, "cci", 0, out)) {
    out[0] = '\0';
    logMessage(LOG_FAIL, "makeTempFileName: unable to create a temporary file (error %u)",
               static_cast<unsigned>(GetLastError()));
    return false;
  }
  return true;
}
