// Loaded into a process, appends its own path and "\r\n" to the file
// PLANTED_LIBRARY_MARK: planted under a system library's name where the
// program must not load from, and in the system folder to fail the dialog.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  char mark[MAX_PATH], path[MAX_PATH];
  DWORD markLength = GetEnvironmentVariableA("PLANTED_LIBRARY_MARK", mark, sizeof mark);
  DWORD pathLength = GetModuleFileNameA(instance, path, sizeof path - 2);
  if (reason != DLL_PROCESS_ATTACH || !markLength || markLength >= sizeof mark || !pathLength ||
      pathLength >= sizeof path - 2)
    return TRUE;
  lstrcpyA(path + pathLength, "\r\n");
  HANDLE file = CreateFileA(mark, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (file != INVALID_HANDLE_VALUE)
    WriteFile(file, path, pathLength + 2, &written, nullptr), CloseHandle(file);
  return TRUE;
}
