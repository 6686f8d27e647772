#include <windows.h>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/process_control.h"
#include "app/registry.h"
#include "app/run_mode.h"
#include "app/startup.h"
#include "app/stub_expansion.h"
#include "app/win_handles.h"
#include "install/uninstall.h"

int completeUninstall(const char* commandLine) {
  char selfPath[kSelfPathSize] = "";
  uint32_t processId = 0;
  if (!parseUninstallCompletion(commandLine, selfPath, sizeof selfPath, &processId)) {
    logMessage(LOG_FAIL, "WinMain: unreadable uninstall command line");
    return 0;
  }
  // The copy that started this process must end before its file can go.
  {
    ScopedHandle copy(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
    if (copy.valid())
      WaitForSingleObject(copy.get(), 5000);
  }
  DeleteFileA(selfPath);

  char folder[kPathSize] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_CWD, folder, sizeof folder);
  if (folder[0])
    copyText(g_szCWD, sizeof g_szCWD, folder);

  // What could not be removed stays; the player is told in every case.
  performUninstall();
  MessageBoxA(nullptr, "This product is uninstalled from your system.", "Update",
              MB_ICONINFORMATION);
  return 0;
}
