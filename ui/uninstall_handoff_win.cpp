// Uninstallation: the window says what happens and hands over to a copy of
// this program in the temporary folder, which removes the client once this
// process has ended (run mode 3).
#include <cstdlib>

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/win_handles.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/status_text.h"
#include "ui/window_handlers.h"
#include "update/temp_file.h"

namespace {

constexpr size_t kOwnPathSize = 517;

// Copies the file at source to target whole; false (with the reason logged)
// when anything less than every byte was written.
bool copyWhole(const char* source, const char* target) {
  ScopedHandle input(
      CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!input.valid()) {
    logMessage(LOG_FAIL, "Uninstall: unable to open %s (error %u)", source,
               static_cast<unsigned>(GetLastError()));
    return false;
  }
  DWORD size = GetFileSize(input.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size == 0) {
    logMessage(LOG_FAIL, "Uninstall: unable to size %s", source);
    return false;
  }
  char* bytes = static_cast<char*>(calloc(size, 1));
  if (!bytes) {
    logMessage(LOG_FAIL, "Uninstall: no memory for a copy of %u bytes",
               static_cast<unsigned>(size));
    return false;
  }
  DWORD read = 0;
  BOOL readOk = ReadFile(input.get(), bytes, size, &read, nullptr);
  input.reset();
  DWORD written = 0;
  bool whole = false;
  if (readOk && read == size) {
    ScopedHandle output(CreateFileA(target, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    whole = output.valid() && WriteFile(output.get(), bytes, size, &written, nullptr) &&
            written == size;
  }
  free(bytes);
  if (!whole)
    logMessage(LOG_FAIL, "Uninstall: copy to %s incomplete (%u of %u bytes)", target,
               static_cast<unsigned>(written), static_cast<unsigned>(size));
  return whole;
}

}  // namespace

void onBeginUninstall(HWND window) {
  setStatusString(IDS_REMOVING);
  layoutWindow();
  invalidateProgressArea(3);
  PostMessageA(window, WM_CLOSE, 0, 0);
}

bool handOffToUninstaller() {
  char copy[MAX_PATH] = "";
  if (!makeTempFileName(copy, sizeof copy)) {
    logMessage(LOG_FAIL, "Uninstall: no temporary file for the uninstaller copy");
    return false;
  }
  char ownPath[kOwnPathSize] = "";
  DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  if (length == 0 || length >= sizeof ownPath) {
    logMessage(LOG_FAIL, "Uninstall: own path unknown or too long");
    DeleteFileA(copy);
    return false;
  }
  if (!copyWhole(ownPath, copy)) {
    // A partial copy must not run: it would be a damaged program.
    DeleteFileA(copy);
    return false;
  }
  char commandLine[MAX_PATH + kOwnPathSize + 64];
  if (!formatText(commandLine, sizeof commandLine, "%s /uninstall %s%s %s%u", copy,
                  "/self:", ownPath, "/pid:", static_cast<unsigned>(GetCurrentProcessId()))) {
    logMessage(LOG_FAIL, "Uninstall: command line too long");
    DeleteFileA(copy);
    return false;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // The program is named as well as placed first on the command line, so a
  // temporary folder with blanks in its path cannot start another program.
  if (!CreateProcessA(copy, commandLine, nullptr, nullptr, TRUE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                      nullptr, &startup, &process)) {
    logMessage(LOG_FAIL, "Uninstall: unable to start %s (error %u)", copy,
               static_cast<unsigned>(GetLastError()));
    DeleteFileA(copy);
    return false;
  }
  ScopedHandle thread(process.hThread);
  ScopedHandle child(process.hProcess);
  logMessage(LOG_INFO, "Uninstall: started %s", commandLine);
  Sleep(100);
  return true;
}
