// launch_probe INSTALL-FOLDER PROGRAM: runs the client launch as the window
// does at the end of an update, then prints the log; for the DNS hand-over,
// which velorin.exe reaches only after a download.
#include <windows.h>

#include <cstdio>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "ui/client_launch.h"
#include "update/download_state.h"

int main(int argc, char** argv) {
  if (argc != 3)
    return 2;
  if (!copyText(g_szCWD, sizeof g_szCWD, argv[1]) || !SetCurrentDirectoryA(argv[1]) ||
      !copyText(g_szPrimaryExe, sizeof g_szPrimaryExe, argv[2]) ||
      !copyText(g_szLastRunPath, sizeof g_szLastRunPath, argv[2]))
    return 1;
  launchClient();
  fputs(logText(), stdout);
  return 0;
}
