#include "app/self_update.h"

#include <windows.h>

#include <cstring>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/win_handles.h"

namespace {

// The ending old stub may still hold the file a copy replaces: its running
// image cannot be overwritten or replaced until the process is gone (the NT
// family answers with a sharing violation or access denied, Windows 9x with
// access denied). The old stub only logs and exits after starting us, so a
// few seconds is plenty.
DWORD g_ulSelfUpdateWaitMs = 10000;
constexpr DWORD kRetryPauseMs = 50;

bool g_bSelfUpdateRun = false;

// A file in use answers a replacement with a sharing violation or access
// denied; a new file beside it that cannot be written only ever answers
// access denied (a folder the user may not write), which waiting cannot cure.
bool isHeldByAnother(DWORD error, bool replacing) {
  return error == ERROR_SHARING_VIOLATION || (replacing && error == ERROR_ACCESS_DENIED);
}

typedef BOOL(WINAPI* MoveFileExFn)(LPCSTR, LPCSTR, DWORD);

// MoveFileExA replaces a file in one step on the NT family; Windows 9x has no
// working one (it answers ERROR_CALL_NOT_IMPLEMENTED), so it is bound here
// rather than imported.
MoveFileExFn replacingMove() {
  static bool bound = false;
  static MoveFileExFn move = nullptr;
  if (!bound) {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (kernel)
      move = reinterpret_cast<MoveFileExFn>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExA")));
    bound = true;
  }
  return move;
}

// Puts the whole file fresh in the place of target. 0 or the error.
DWORD moveOver(const char* fresh, const char* target) {
  if (MoveFileExFn move = replacingMove()) {
    if (move(fresh, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return 0;
    DWORD error = GetLastError();
    if (error != ERROR_CALL_NOT_IMPLEMENTED)
      return error;
  }
  // Windows 9x: delete, then rename. Should the machine stop in between, the
  // whole new stub waits beside the missing target under its ".new" name.
  if (!DeleteFileA(target)) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND)
      return error;
  }
  return MoveFileA(fresh, target) ? 0 : GetLastError();
}

// Writes what the system still caches of a file to the disk, so that the
// rename below never publishes a file whose bytes are not there yet.
void flushToDisk(const char* path) {
  ScopedHandle file(
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.valid())
    FlushFileBuffers(file.get());
}

// Runs step until it succeeds, fails for another reason than a file held by
// another process, or the wait is used up. 0 or the last error.
template <typename Step>
DWORD retryWhileHeld(DWORD started, bool replacing, Step step) {
  for (;;) {
    DWORD error = step();
    if (error == 0 || !isHeldByAnother(error, replacing) ||
        GetTickCount() - started >= g_ulSelfUpdateWaitMs)
      return error;
    Sleep(kRetryPauseMs);
  }
}

// Copies source over target without ever leaving a half-written target: the
// copy goes to "<target>.new" beside it and replaces the target only once it
// is whole, so a full disk or a stop mid-copy leaves the old stub working.
// 0 or the error of the step that failed.
DWORD copyOver(const char* source, const char* target) {
  char fresh[kSelfPathSize + 8];
  if (!formatText(fresh, sizeof fresh, "%s.new", target))
    return ERROR_FILENAME_EXCED_RANGE;
  DWORD started = GetTickCount();
  DWORD error = retryWhileHeld(started, false, [&]() -> DWORD {
    return CopyFileA(source, fresh, FALSE) ? 0 : GetLastError();
  });
  if (error == 0) {
    flushToDisk(fresh);
    error = retryWhileHeld(started, true, [&]() { return moveOver(fresh, target); });
  }
  if (error != 0)
    DeleteFileA(fresh);
  return error;
}

void moveToTargetFolder(const char* target) {
  char folder[kPathSize] = "";
  if (!handOverFolder(target, folder, sizeof folder)) {
    if (strchr(target, '\\')) {
      logMessage(LOG_FAIL,
                 "executeSelfUpdateMode: setting current working directory back to original "
                 "executable %s fails: %d",
                 target, static_cast<int>(ERROR_FILENAME_EXCED_RANGE));
      return;
    }
    logMessage(LOG_FAIL,
               "executeSelfUpdateMode: unable to set working directory back to original "
               "executable: %s",
               target);
    return;
  }
  if (SetCurrentDirectoryA(folder)) {
    logMessage(LOG_INFO,
               "executeSelfUpdateMode: setting current working directory back to original "
               "executable: %s",
               folder);
    return;
  }
  DWORD error = GetLastError();
  logMessage(LOG_FAIL,
             "executeSelfUpdateMode: setting current working directory back to original "
             "executable %s fails: %d",
             folder, static_cast<int>(error));
}

void handOver(const char* commandLine, const char* ownPathGiven) {
  if (!commandLine[0]) {
    logMessage(LOG_INFO, "executeSelfUpdateMode: not in special self-update mode");
    return;
  }
  logMessage(LOG_INFO, "executeSelfUpdateMode: detected in special self-update mode");
  SelfUpdateCommand command;
  parseSelfUpdateCommand(commandLine, &command);
  if (!command.bTarget) {
    logMessage(LOG_WARNING, "executeSelfUpdateMode: special mode tag not found");
    return;
  }
  g_bSelfUpdateRun = true;

  char ownPath[256] = "";
  if (ownPathGiven) {
    copyText(ownPath, sizeof ownPath, ownPathGiven);
  } else {
    DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
    if (length == 0 || length >= sizeof ownPath) {
      DWORD error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
      logMessage(LOG_FAIL, "executeSelfUpdateMode: getting module filename fails: %d",
                 static_cast<int>(error));
      return;
    }
  }

  DWORD error = command.szTarget[0] ? copyOver(ownPath, command.szTarget) : ERROR_BAD_PATHNAME;
  if (error != 0) {
    logMessage(LOG_FAIL, "executeSelfUpdateMode: copying over target file fails: %d",
               static_cast<int>(error));
    return;
  }
  logMessage(LOG_INFO, "executeSelfUpdateMode: successfully copied %s over %s", ownPath,
             command.szTarget);

  moveToTargetFolder(command.szTarget);

  if (!command.bSelf)
    return;
  error = command.szSelf[0] ? copyOver(ownPath, command.szSelf) : ERROR_BAD_PATHNAME;
  if (error != 0) {
    logMessage(LOG_FAIL, "executeSelfUpdateMode: copying over original file fails: %d",
               static_cast<int>(error));
    return;
  }
  logMessage(LOG_INFO, "executeSelfUpdateMode: successfully copied %s over %s", ownPath,
             command.szSelf);
}

}  // namespace

void executeSelfUpdateMode(const char* commandLine) {
  handOver(commandLine, nullptr);
}

void executeSelfUpdateModeFrom(const char* commandLine, const char* ownPath) {
  handOver(commandLine, ownPath);
}

bool isSelfUpdateRun() {
  return g_bSelfUpdateRun;
}

void setSelfUpdateWaitForTesting(unsigned long milliseconds) {
  g_ulSelfUpdateWaitMs = milliseconds;
}
