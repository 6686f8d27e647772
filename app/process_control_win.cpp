#include "app/process_control.h"

#include <cstring>

#include "app/app_state.h"
#include "app/install_path.h"
#include "app/log.h"
#include "app/win_handles.h"
#include "update/file_crc.h"

namespace {

using CreateSnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ModuleWalkFunction = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);

struct Toolhelp {
  CreateSnapshotFunction createSnapshot;
  ModuleWalkFunction moduleFirst;
  ModuleWalkFunction moduleNext;
};

// Windows 95 and 2000 and later have the Toolhelp functions; NT 4.0 has not,
// so they are looked up when first needed instead of imported.
const Toolhelp* toolhelp() {
  static Toolhelp functions = {};
  static bool bound = false;
  if (!bound) {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (kernel) {
      functions.createSnapshot = reinterpret_cast<CreateSnapshotFunction>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "CreateToolhelp32Snapshot")));
      functions.moduleFirst = reinterpret_cast<ModuleWalkFunction>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "Module32First")));
      functions.moduleNext = reinterpret_cast<ModuleWalkFunction>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "Module32Next")));
    }
    bound = true;
  }
  if (!functions.createSnapshot || !functions.moduleFirst || !functions.moduleNext)
    return nullptr;
  return &functions;
}

TerminateProcessFunction g_pfnTerminateProcess = TerminateProcess;

}  // namespace

void setTerminateProcessForTesting(TerminateProcessFunction function) {
  g_pfnTerminateProcess = function ? function : TerminateProcess;
}

bool findProcessModule(DWORD processId, const char* path, MODULEENTRY32* out, DWORD entrySize) {
  const Toolhelp* functions = toolhelp();
  if (!functions) {
    logMessage(LOG_WARNING, "findProcessModule: no Toolhelp functions on this system");
    return false;
  }
  ScopedHandle snapshot(functions->createSnapshot(TH32CS_SNAPMODULE, processId));
  if (!snapshot.valid())
    return false;
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = functions->moduleFirst(snapshot.get(), &entry); more;
       more = functions->moduleNext(snapshot.get(), &entry)) {
    if (lstrcmpiA(entry.szExePath, path) == 0) {
      if (out)
        memcpy(out, &entry, entrySize < sizeof entry ? entrySize : sizeof entry);
      return true;
    }
  }
  return false;
}

bool terminateIfRunning(const char* path, uint32_t processId, uint32_t checksum) {
  if (!isPathInsideFolder(path, g_szCWD)) {
    logMessage(LOG_WARNING, "terminateIfRunning: %s is not below the install folder; not ended",
               path);
    return true;
  }
  MODULEENTRY32 entry = {};
  if (!findProcessModule(processId, path, &entry, sizeof entry))
    return true;
  if (calculateFileCrc(path, true) != checksum) {
    logMessage(LOG_INFO, "terminateIfRunning: process %u runs another copy of %s; left alone",
               processId, path);
    return true;
  }
  ScopedHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  if (!process.valid())
    return false;
  bool ended = g_pfnTerminateProcess(process.get(), 0) != 0;
  if (ended) {
    // The client's files are free only once the process is gone.
    WaitForSingleObject(process.get(), 5000);
  }
  logMessage(ended ? LOG_INFO : LOG_FAIL, "terminateIfRunning: process %u %s", processId,
             ended ? "ended" : "could not be ended");
  return ended;
}
