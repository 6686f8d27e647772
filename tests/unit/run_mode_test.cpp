#include "app/run_mode.h"

#include <gtest/gtest.h>

#include <string>

TEST(RunMode, DecidedByUninstallAndSelfMarkers) {
  EXPECT_EQ(RUN_MODE_NORMAL, getRunMode(""));
  EXPECT_EQ(RUN_MODE_NORMAL, getRunMode("/self:C:\\a.exe /target:C:\\b\\quenzar.exe"));
  EXPECT_EQ(RUN_MODE_UNINSTALL_REQUEST, getRunMode("/uninstall"));
  EXPECT_EQ(RUN_MODE_UNINSTALL_REQUEST, getRunMode("x/uninstallx"));
  EXPECT_EQ(RUN_MODE_UNINSTALL_COMPLETION, getRunMode("/uninstall /self:C:\\x.exe /pid:12"));
  // Case matters: these are not the program's own markers.
  EXPECT_EQ(RUN_MODE_NORMAL, getRunMode("/UNINSTALL"));
  EXPECT_EQ(RUN_MODE_UNINSTALL_REQUEST, getRunMode("/uninstall /SELF:C:\\x.exe"));
}

TEST(RunMode, UninstallCompletionArguments) {
  const std::string fitting(kSelfPathSize - 1, 'b');  // the longest path that fits
  const std::string withFitting = "/uninstall /self:" + fitting + " /pid:5";
  struct {
    const char *line, *path;
    uint32_t pid;
  } const cases[] = {
      {"/uninstall /self:C:\\x.exe /pid:12", "C:\\x.exe", 12},
      {"C:\\Temp\\q1.tmp /uninstall /self:C:\\Program Files\\Quenzar\\quenzar.exe /pid:4294967295",
       "C:\\Program Files\\Quenzar\\quenzar.exe", 4294967295u},
      // Arguments after the process id are left for whoever needs them.
      {"/uninstall /self:C:\\x.exe /pid:12 /quiet /pid:99", "C:\\x.exe", 12},
      {withFitting.c_str(), fitting.c_str(), 5},
  };
  for (const auto& c : cases) {
    char path[kSelfPathSize];
    uint32_t pid = 0;
    ASSERT_TRUE(parseUninstallCompletion(c.line, path, sizeof path, &pid)) << c.line;
    EXPECT_STREQ(c.path, path);
    EXPECT_EQ(c.pid, pid);
  }
}

TEST(RunMode, MalformedUninstallCompletionIsRefused) {
  char path[kSelfPathSize];
  uint32_t pid = 77;
  const std::string overlong =
      "/uninstall /self:C:\\" + std::string(kSelfPathSize, 'a') + ".exe /pid:5";
  const char* bad[] = {
      "/uninstall /self:C:\\x.exe",                   // no process id
      "/uninstall /pid:12 /self:C:\\x.exe",           // id before the path
      "/uninstall /self: /pid:12",                    // empty path
      "/uninstall /self:C:\\x.exe/pid:12",            // no blank before /pid:
      "/uninstall /self:C:\\x.exe /pid:",             // no digits
      "/uninstall /self:C:\\x.exe /pid:-3",           // not a count
      "/uninstall /self:C:\\x.exe /pid:99999999999",  // beyond 32 bits
      "/uninstall /self:C:\\x.exe /pid:12abc",
      overlong.c_str(),  // refused, not cut
  };
  for (const char* commandLine : bad) {
    EXPECT_FALSE(parseUninstallCompletion(commandLine, path, sizeof path, &pid)) << commandLine;
    EXPECT_STREQ("", path) << commandLine;
    EXPECT_EQ(77u, pid) << commandLine;
  }
}
