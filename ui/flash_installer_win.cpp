#include "ui/flash_installer.h"

#include <cstdint>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/win_handles.h"
#include "ui/client_launch.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/window_handlers.h"
#include "update/download_state.h"
#include "update/manifest.h"
#include "update/published_download.h"

namespace {

bool g_bFlashInstallerRun = false;

// Opens the downloaded installer so that nobody can change it until it has
// run, then checks it against its manifest entry (the check reads it beside
// this handle). The handle stays open in file while the installer runs.
bool openCheckedInstaller(const FileDescriptor* entry, ScopedHandle* file) {
  file->reset(CreateFileA(g_szTempFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file->valid()) {
    logMessage(LOG_FAIL, "WndProc: Flash installer %s cannot be opened: error %u", g_szTempFile,
               static_cast<unsigned>(GetLastError()));
    return false;
  }
  return isPublishedDownload(entry, g_szTempFile);
}

void shutDown(HWND window) {
  g_nProcessState = PS_SHUTDOWN;
  PostMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

bool flashInstallerHasRun() {
  return g_bFlashInstallerRun;
}

void runFlashInstaller(HWND window) {
  g_bFlashInstallerRun = true;
  const FileDescriptor* entry = g_pxDownloadFile;
  ScopedHandle checked;
  if (!entry || !openCheckedInstaller(entry, &checked)) {
    checked.reset();
    DeleteFileA(g_szTempFile);
    SetTimer(window, IDT_FLASH_POLL, 1000, nullptr);
    return;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  char commandLine[1] = "";
  if (!CreateProcessA(g_szTempFile, commandLine, nullptr, nullptr, TRUE, CREATE_DEFAULT_ERROR_MODE,
                      nullptr, nullptr, &startup, &process)) {
    logMessage(LOG_FAIL, "WndProc: Flash installer cannot be started: error %u",
               static_cast<unsigned>(GetLastError()));
    checked.reset();
    DeleteFileA(g_szTempFile);
    shutDown(window);
    return;
  }
  ScopedHandle thread(process.hThread);
  ScopedHandle installer(process.hProcess);
  ShowWindow(window, SW_HIDE);
  bringThreadWindowForward(process.dwThreadId);
  WaitForSingleObject(installer.get(), INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(installer.get(), &exitCode);
  logMessage(LOG_INFO, "WndProc: Flash installer ended with %u", static_cast<unsigned>(exitCode));
  checked.reset();
  DeleteFileA(g_szTempFile);
  if (exitCode == 0)
    restartDiscovery();
  else
    shutDown(window);
}
