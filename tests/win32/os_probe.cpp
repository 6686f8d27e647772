// Prints what the program makes of the running Windows: "<kind>|<text>|<gate>",
// gate being 1 when checkMinimumWindows passes. Used by check-windows-versions.
#include <cstdio>

#include "app/startup.h"
#include "report/system_info.h"

int main() {
  printf("%d|%s|%d\n", g_xSystemInfo.getOsKind(), g_xSystemInfo.getOsName(),
         checkMinimumWindows(nullptr, nullptr) ? 1 : 0);
  return 0;
}
