// The launch on real Win32 (Wine): this test program plays the client. The
// launch starts it again with a filter that runs only the probe below, which
// writes its command line and folder where the launching test reads them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/registry.h"
#include "ui/client_launch.h"
#include "update/download_state.h"

namespace {

constexpr const char* kRecordVariable = "VELORIN_LAUNCH_RECORD";

std::string readFile(const std::string& path) {
  std::string text;
  if (FILE* file = fopen(path.c_str(), "rb")) {
    char buffer[1024];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, file)) > 0)
      text.append(buffer, count);
    fclose(file);
  }
  return text;
}

}  // namespace

// Run only as the launched client (see below); disabled in a normal run.
TEST(LaunchProbe, DISABLED_RecordCommandLine) {
  char path[MAX_PATH] = "";
  ASSERT_TRUE(GetEnvironmentVariableA(kRecordVariable, path, sizeof path));
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  FILE* file = fopen(path, "wb");
  ASSERT_NE(nullptr, file);
  fprintf(file, "%lu\n%s\n%s\n", GetCurrentProcessId(), folder, GetCommandLineA());
  fclose(file);
}

TEST(ClientLaunch, StartsFromTheInstallFolderRecordsTheLaunchAndEndsThePendingInstall) {
  char own[MAX_PATH];
  ASSERT_TRUE(GetModuleFileNameA(nullptr, own, sizeof own));
  std::string folder(own, strrchr(own, '\\') - own);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string record = std::string(temp) + "velorin-launch-record.txt";
  DeleteFileA(record.c_str());
  SetEnvironmentVariableA(kRecordVariable, record.c_str());

  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
  // The launch passes the client its own arguments only: the probe is
  // chosen through the environment the client inherits.
  std::string program = strrchr(own, '\\') + 1;
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

  // The pending install ends with a 3-second pause before the start.
  EXPECT_GE(elapsed, 3000u);
  char install[128] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, install, sizeof install);
  EXPECT_STREQ("", install);

  std::string text;
  for (int i = 0; i < 200 && text.find('\n', text.rfind(" -a=")) == std::string::npos; ++i) {
    Sleep(100);
    text = readFile(record);
  }
  DeleteFileA(record.c_str());
  size_t first = text.find('\n');
  size_t second = text.find('\n', first + 1);
  ASSERT_NE(std::string::npos, second) << text;
  unsigned long pid = strtoul(text.c_str(), nullptr, 10);
  EXPECT_STRCASEEQ(folder.c_str(), text.substr(first + 1, second - first - 1).c_str());
  // One monitor, no DNS hand-over, no affiliate: the program and "-a=" only.
  EXPECT_EQ(program + " -a=", text.substr(second + 1, text.size() - second - 2));

  EXPECT_EQ(pid, g_ulLastRunPid);
  char lastRun[300] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN, lastRun, sizeof lastRun);
  EXPECT_EQ("bin\\client.exe " + std::to_string(pid) + " 305419896", std::string(lastRun));
  deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN);
  g_szPrimaryExe[0] = '\0';
}

TEST(ClientLaunch, FailedStartStillRecordsTheLaunchWithProcessIdZero) {
  copyText(g_szPrimaryExe, sizeof g_szPrimaryExe, "no-such-client.exe");
  copyText(g_szLastRunPath, sizeof g_szLastRunPath, "no-such-client.exe");
  g_ulPrimaryExeCrc = 7;
  g_ulLastRunPid = 99;
  launchClient();
  EXPECT_EQ(0u, g_ulLastRunPid);
  char lastRun[300] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN, lastRun, sizeof lastRun);
  EXPECT_STREQ("no-such-client.exe 0 7", lastRun);
  deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN);
  g_szPrimaryExe[0] = '\0';
}

TEST(ClientLaunch, HostAddressIsTheLastOfTheEntry) {
  char address[32] = "unchanged";
  EXPECT_EQ(1, resolveHostAddress("no-such-host.invalid", address, sizeof address));
  EXPECT_STREQ("unchanged", address);
  EXPECT_EQ(0, resolveHostAddress("localhost", address, sizeof address));
  EXPECT_EQ(0, strncmp(address, "127.", 4)) << address;
}
