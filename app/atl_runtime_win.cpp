#include "app/atl_runtime.h"

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"

namespace {

// Where placeAtlRuntime looked for the carried copy (the current directory
// then, as GetCurrentDirectoryA gives it); empty from Windows 2000 on.
char g_szAtlFolder[kPathSize];
// True while the "ATL.DLL" in g_szAtlFolder is the one this run renamed.
bool g_bAtlPlaced;
HMODULE g_hAtlModule;

bool currentDirectory(char* out, size_t outSize) {
  DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(outSize), out);
  if (length == 0 || length >= outSize) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool fileExists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The full path of the library this run should load; false when there is none.
bool atlRuntimePath(char* out, size_t outSize) {
  if (isModernNt()) {
    char system[kPathSize];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    return length > 0 && length < sizeof system && formatText(out, outSize, "%s\\ATL.DLL", system);
  }
  if (!g_szAtlFolder[0])
    return false;
  if (g_bAtlPlaced)
    return formatText(out, outSize, "%s\\ATL.DLL", g_szAtlFolder);
  // The rename did not happen. An "ATL.DLL" that was there before this run
  // is nobody we know; the carried copy beside it is ours.
  if (formatText(out, outSize, "%s\\ATL98.DLL", g_szAtlFolder) && fileExists(out))
    return true;
  return formatText(out, outSize, "%s\\ATL.DLL", g_szAtlFolder);
}

}  // namespace

bool isModernNt() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;  // the 148-byte record every Windows knows
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         version.dwMajorVersion >= 5;
}

void placeAtlRuntime() {
  g_szAtlFolder[0] = '\0';
  g_bAtlPlaced = false;
  if (isModernNt())
    return;
  if (!currentDirectory(g_szAtlFolder, sizeof g_szAtlFolder)) {
    logMessage(LOG_WARNING, "placeAtlRuntime: current directory unknown; ATL.DLL not placed");
    return;
  }
  char carried[kPathSize];
  char placed[kPathSize];
  if (!formatText(carried, sizeof carried, "%s\\ATL98.DLL", g_szAtlFolder) ||
      !formatText(placed, sizeof placed, "%s\\ATL.DLL", g_szAtlFolder)) {
    logMessage(LOG_WARNING, "placeAtlRuntime: folder path too long; ATL.DLL not placed");
    g_szAtlFolder[0] = '\0';
    return;
  }
  g_bAtlPlaced = MoveFileA(carried, placed) != 0;
  if (!g_bAtlPlaced)
    logMessage(LOG_INFO, "placeAtlRuntime: ATL.DLL not placed in %s (error %u)", g_szAtlFolder,
               static_cast<unsigned>(GetLastError()));
}

HMODULE loadAtlRuntime() {
  if (g_hAtlModule)
    return g_hAtlModule;
  char path[kPathSize];
  if (!atlRuntimePath(path, sizeof path)) {
    logMessage(LOG_WARNING, "loadAtlRuntime: no place for ATL.DLL known");
    return nullptr;
  }
  g_hAtlModule = LoadLibraryA(path);
  if (!g_hAtlModule)
    logMessage(LOG_WARNING, "loadAtlRuntime: %s not loaded (error %u)", path,
               static_cast<unsigned>(GetLastError()));
  return g_hAtlModule;
}

void freeAtlRuntime() {
  if (g_hAtlModule) {
    FreeLibrary(g_hAtlModule);
    g_hAtlModule = nullptr;
  }
}

bool atlPlacedHere() {
  char here[kPathSize];
  return g_bAtlPlaced && currentDirectory(here, sizeof here) &&
         equalsIgnoreCase(here, g_szAtlFolder);
}

bool placedAtlFolder(char* out, size_t outSize) {
  return g_bAtlPlaced && copyText(out, outSize, g_szAtlFolder);
}

DWORD deletePlacedAtlRuntime() {
  if (DeleteFileA("ATL.DLL") != 1)
    return GetLastError();
  g_bAtlPlaced = false;
  return 0;
}
