// A client that does not start; a start that succeeds is the story scenario's,
// the host address and the DNS hand-over the launch scenario's.
#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/registry.h"
#include "ui/client_launch.h"
#include "update/download_state.h"

TEST(ClientLaunch, FailedStartEndsThePendingInstallAndRecordsProcessZero) {
  copyText(g_szPrimaryExe, sizeof g_szPrimaryExe, "no-such-client.exe");
  copyText(g_szLastRunPath, sizeof g_szLastRunPath, "no-such-client.exe");
  g_ulPrimaryExeCrc = 7;
  ASSERT_EQ(ERROR_SUCCESS, writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, "1"));
  DWORD start = GetTickCount();
  launchClient();
  EXPECT_GE(GetTickCount() - start, 3000u) << "a pending install pauses 3 seconds first";
  char install[16] = "", lastRun[64] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, install, sizeof install);
  EXPECT_STREQ("", install);
  EXPECT_EQ(0u, g_ulLastRunPid);
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN, lastRun, sizeof lastRun);
  deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN);
  g_szPrimaryExe[0] = '\0';
  EXPECT_STREQ("no-such-client.exe 0 7", lastRun);
}
