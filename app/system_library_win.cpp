#include "app/system_library.h"

#include "app/bounded_text.h"
#include "app/log.h"

HMODULE loadSystemLibrary(const char* name) {
  char folder[MAX_PATH] = "";
  UINT length = GetSystemDirectoryA(folder, sizeof folder);
  char path[MAX_PATH + 32];
  if (length == 0 || length >= sizeof folder ||
      !formatText(path, sizeof path, "%s\\%s", folder, name)) {
    logMessage(LOG_FAIL, "no path in the system folder for %s", name);
    return nullptr;
  }
  HMODULE library = LoadLibraryA(path);
  if (!library)
    logMessage(LOG_WARNING, "%s not loaded (error %lu)", path,
               static_cast<unsigned long>(GetLastError()));
  return library;
}
