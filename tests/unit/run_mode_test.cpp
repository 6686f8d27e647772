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
  char path[kSelfPathSize];
  uint32_t pid = 0;
  ASSERT_TRUE(
      parseUninstallCompletion("/uninstall /self:C:\\x.exe /pid:12", path, sizeof path, &pid));
  EXPECT_STREQ("C:\\x.exe", path);
  EXPECT_EQ(12u, pid);

  ASSERT_TRUE(parseUninstallCompletion(
      "C:\\Temp\\q1.tmp /uninstall /self:C:\\Program Files\\Quenzar\\quenzar.exe /pid:4294967295",
      path, sizeof path, &pid));
  EXPECT_STREQ("C:\\Program Files\\Quenzar\\quenzar.exe", path);
  EXPECT_EQ(4294967295u, pid);

  // Arguments after the process id are left for whoever needs them: the
  // completion takes the id up to the blank and goes on.
  ASSERT_TRUE(parseUninstallCompletion("/uninstall /self:C:\\x.exe /pid:12 /quiet /pid:99", path,
                                       sizeof path, &pid));
  EXPECT_STREQ("C:\\x.exe", path);
  EXPECT_EQ(12u, pid);
}

TEST(RunMode, MalformedUninstallCompletionIsRefused) {
  char path[kSelfPathSize];
  uint32_t pid = 77;
  const char* bad[] = {
      "/uninstall /self:C:\\x.exe",                   // no process id
      "/uninstall /pid:12 /self:C:\\x.exe",           // id before the path
      "/uninstall /self: /pid:12",                    // empty path
      "/uninstall /self:C:\\x.exe/pid:12",            // no blank before /pid:
      "/uninstall /self:C:\\x.exe /pid:",             // no digits
      "/uninstall /self:C:\\x.exe /pid:-3",           // not a count
      "/uninstall /self:C:\\x.exe /pid:99999999999",  // beyond 32 bits
      "/uninstall /self:C:\\x.exe /pid:12abc",
  };
  for (const char* commandLine : bad) {
    EXPECT_FALSE(parseUninstallCompletion(commandLine, path, sizeof path, &pid)) << commandLine;
    EXPECT_STREQ("", path) << commandLine;
    EXPECT_EQ(77u, pid) << commandLine;
  }
}

TEST(RunMode, OverlongSelfPathIsRefusedNotCut) {
  std::string longPath = "C:\\" + std::string(kSelfPathSize, 'a') + ".exe";
  std::string commandLine = "/uninstall /self:" + longPath + " /pid:5";
  char path[kSelfPathSize];
  uint32_t pid = 0;
  EXPECT_FALSE(parseUninstallCompletion(commandLine.c_str(), path, sizeof path, &pid));
  EXPECT_STREQ("", path);

  // One byte less than the buffer is the longest path that fits.
  std::string fitting(kSelfPathSize - 1, 'b');
  commandLine = "/uninstall /self:" + fitting + " /pid:5";
  ASSERT_TRUE(parseUninstallCompletion(commandLine.c_str(), path, sizeof path, &pid));
  EXPECT_EQ(fitting, path);
}
