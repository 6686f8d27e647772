// The launch on real Win32 (Wine): this test program plays the client. The
// launch starts it again with a filter that runs only the probe below, which
// writes its command line and folder where the launching test reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/registry.h"
#include "ui/client_launch.h"
#include "update/download_state.h"

namespace {

// The launch record as the next start reads it, removed once read.
std::string takeLastRun() {
  char lastRun[300] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN, lastRun, sizeof lastRun);
  deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN);
  g_szPrimaryExe[0] = '\0';
  return lastRun;
}

}  // namespace

// Run only as the launched client (see below); disabled in a normal run.
TEST(LaunchProbe, DISABLED_RecordCommandLine) {
  char path[MAX_PATH] = "", folder[MAX_PATH] = "";
  ASSERT_TRUE(GetEnvironmentVariableA("VELORIN_LAUNCH_RECORD", path, sizeof path));
  GetCurrentDirectoryA(sizeof folder, folder);
  std::ofstream(path, std::ios::binary) << GetCurrentProcessId() << "\n"
                                        << folder << "\n"
                                        << GetCommandLineA() << "\n";
}

TEST(ClientLaunch, StartsFromTheInstallFolderRecordsTheLaunchAndEndsThePendingInstall) {
  char own[MAX_PATH], temp[MAX_PATH], previous[MAX_PATH];
  ASSERT_TRUE(GetModuleFileNameA(nullptr, own, sizeof own));
  std::string folder(own, strrchr(own, '\\') - own), program = strrchr(own, '\\') + 1;
  GetTempPathA(sizeof temp, temp);
  std::string record = std::string(temp) + "velorin-launch-record.txt";
  DeleteFileA(record.c_str());
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
  // The launch passes the client its own arguments only: the probe is
  // chosen through the environment the client inherits.
  SetEnvironmentVariableA("VELORIN_LAUNCH_RECORD", record.c_str());
  SetEnvironmentVariableA("GTEST_ALSO_RUN_DISABLED_TESTS", "1");
  SetEnvironmentVariableA("GTEST_FILTER", "LaunchProbe.*");
  copyText(g_szPrimaryExe, sizeof g_szPrimaryExe, program.c_str());
  copyText(g_szLastRunPath, sizeof g_szLastRunPath, "bin\\client.exe");
  g_ulPrimaryExeCrc = 305419896;
  ASSERT_EQ(ERROR_SUCCESS, writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, "1"));

  DWORD start = GetTickCount();
  launchClient();
  DWORD elapsed = GetTickCount() - start;
  SetCurrentDirectoryA(previous);
  SetEnvironmentVariableA("GTEST_ALSO_RUN_DISABLED_TESTS", nullptr);
  SetEnvironmentVariableA("GTEST_FILTER", nullptr);

  EXPECT_GE(elapsed, 3000u) << "the pending install ends with a 3-second pause before the start";
  char install[128] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, install, sizeof install);
  EXPECT_STREQ("", install);

  unsigned long pid = 0;
  std::string cwd, command;
  for (int i = 0; i < 200 && command.empty(); ++i) {
    Sleep(100);
    std::stringstream read;
    read << std::ifstream(record, std::ios::binary).rdbuf();
    std::string lines = read.str();
    if (std::count(lines.begin(), lines.end(), '\n') == 3) {
      std::istringstream text(lines);
      text >> pid;
      text.ignore(1);
      std::getline(text, cwd);
      std::getline(text, command);
    }
  }
  DeleteFileA(record.c_str());
  EXPECT_STRCASEEQ(folder.c_str(), cwd.c_str());
  // One monitor, no DNS hand-over, no affiliate: the program and "-a=" only.
  EXPECT_EQ(program + " -a=", command);
  EXPECT_EQ(pid, g_ulLastRunPid);
  EXPECT_EQ("bin\\client.exe " + std::to_string(pid) + " 305419896", takeLastRun());

  // A failed start still records the launch, with process id 0.
  copyText(g_szPrimaryExe, sizeof g_szPrimaryExe, "no-such-client.exe");
  copyText(g_szLastRunPath, sizeof g_szLastRunPath, "no-such-client.exe");
  g_ulPrimaryExeCrc = 7;
  launchClient();
  EXPECT_EQ(0u, g_ulLastRunPid);
  EXPECT_EQ("no-such-client.exe 0 7", takeLastRun());
}

TEST(ClientLaunch, HostAddressIsTheLastOfTheEntry) {
  char address[32] = "unchanged";
  EXPECT_EQ(1, resolveHostAddress("no-such-host.invalid", address, sizeof address));
  EXPECT_STREQ("unchanged", address);
  EXPECT_EQ(0, resolveHostAddress("localhost", address, sizeof address));
  EXPECT_EQ(0, strncmp(address, "127.", 4)) << address;
}
