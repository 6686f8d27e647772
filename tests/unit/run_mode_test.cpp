#include "app/run_mode.h"

#include "app/launch_record.h"

#include <gtest/gtest.h>

#include "app/self_update.h"

TEST(RunMode, DecidedByUninstallAndSelfMarkers) {
  // Case matters: "/UNINSTALL" and "/SELF:" are not the program's own markers.
  for (const char* line : {"", "/self:C:\\a.exe /target:C:\\b\\quenzar.exe", "/UNINSTALL"})
    EXPECT_EQ(RUN_MODE_NORMAL, getRunMode(line)) << line;
  for (const char* line : {"/uninstall", "x/uninstallx", "/uninstall /SELF:C:\\x.exe"})
    EXPECT_EQ(RUN_MODE_UNINSTALL_REQUEST, getRunMode(line)) << line;
  EXPECT_EQ(RUN_MODE_UNINSTALL_COMPLETION, getRunMode("/uninstall /self:C:\\x.exe /pid:12"));
}

TEST(RunMode, UninstallCompletionArgumentsAndRefusals) {
  const std::string fitting(kSelfPathSize - 1, 'b');  // the longest path that fits
  const std::string withFitting = "/uninstall /self:" + fitting + " /pid:5";
  const std::string overlong =
      "/uninstall /self:C:\\" + std::string(kSelfPathSize, 'a') + ".exe /pid:5";
  // A refused line (no path expected) leaves the path empty and the id alone.
  const std::tuple<const char*, const char*, uint32_t> cases[] = {
      {"/uninstall /self:C:\\x.exe /pid:12", "C:\\x.exe", 12},
      {"C:\\Temp\\q1.tmp /uninstall /self:C:\\Program Files\\Quenzar\\quenzar.exe /pid:4294967295",
       "C:\\Program Files\\Quenzar\\quenzar.exe", 4294967295u},
      // Arguments after the process id are left for whoever needs them.
      {"/uninstall /self:C:\\x.exe /pid:12 /quiet /pid:99", "C:\\x.exe", 12},
      {withFitting.c_str(), fitting.c_str(), 5},
      {"/uninstall /self:C:\\x.exe", "", 77},                   // no process id
      {"/uninstall /pid:12 /self:C:\\x.exe", "", 77},           // id before the path
      {"/uninstall /self: /pid:12", "", 77},                    // empty path
      {"/uninstall /self:C:\\x.exe/pid:12", "", 77},            // no blank before /pid:
      {"/uninstall /self:C:\\x.exe /pid:", "", 77},             // no digits
      {"/uninstall /self:C:\\x.exe /pid:-3", "", 77},           // not a count
      {"/uninstall /self:C:\\x.exe /pid:99999999999", "", 77},  // beyond 32 bits
      {"/uninstall /self:C:\\x.exe /pid:12abc", "", 77},
      {overlong.c_str(), "", 77},  // refused, not cut
  };
  for (const auto& [line, expectedPath, expectedPid] : cases) {
    char path[kSelfPathSize] = "junk";
    uint32_t pid = 77;
    EXPECT_EQ(*expectedPath != '\0', parseUninstallCompletion(line, path, sizeof path, &pid))
        << line;
    EXPECT_STREQ(expectedPath, path) << line;
    EXPECT_EQ(expectedPid, pid) << line;
  }
}

TEST(SelfUpdateCommand, PathsWholeOrNotAtAllAndTheTargetFolder) {
  const std::string fits(kSelfPathSize - 1, 'p');
  const std::tuple<std::string, bool, bool, std::string, std::string> cases[] = {
      {"\"C:\\My Temp\\cci1.tmp\" /self:C:\\Old Stub\\setup.exe /target:C:\\Program "
       "Files\\Quenzar Poker\\quenzar.exe",
       true, true, "C:\\Old Stub\\setup.exe", "C:\\Program Files\\Quenzar Poker\\quenzar.exe"},
      // The target runs to the very end, trailing blank included.
      {"/self:a /target:C:\\x\\quenzar.exe ", true, true, "a", "C:\\x\\quenzar.exe "},
      {"/uninstall", false, false, "", ""},
      // A target alone is a hand-over without the old stub's file.
      {"x.tmp /target:C:\\q\\quenzar.exe", false, true, "", "C:\\q\\quenzar.exe"},
      // "/self:" empty, run into "/target:", or after the target: no old stub.
      {"/self: /target:C:\\q\\quenzar.exe", true, true, "", "C:\\q\\quenzar.exe"},
      {"/self:C:\\a.exe/target:C:\\q\\quenzar.exe", true, true, "", "C:\\q\\quenzar.exe"},
      {"/target:C:\\q\\quenzar.exe /self:C:\\a.exe", true, true, "",
       "C:\\q\\quenzar.exe /self:C:\\a.exe"},
      // The longest paths fit; one more character is refused, not cut.
      {"/self:" + fits + " /target:" + fits, true, true, fits, fits},
      {"/self:" + fits + "q /target:" + fits + "q", true, true, "", ""},
  };
  for (const auto& [line, self, target, szSelf, szTarget] : cases) {
    SelfUpdateCommand command;
    parseSelfUpdateCommand(line.c_str(), &command);
    EXPECT_EQ(self, command.bSelf) << line;
    EXPECT_EQ(target, command.bTarget) << line;
    EXPECT_EQ(szSelf, command.szSelf) << line;
    EXPECT_EQ(szTarget, command.szTarget) << line;
  }
  char folder[16];
  ASSERT_TRUE(handOverFolder("C:\\Pro Files\\qq\\quenzar.exe", folder, sizeof folder));
  EXPECT_STREQ("C:\\Pro Files\\qq", folder);  // 15 characters: an exact fit
  EXPECT_FALSE(handOverFolder("C:\\Pro Files\\qqq\\quenzar.exe", folder, sizeof folder));
  EXPECT_STREQ("", folder);
  EXPECT_FALSE(handOverFolder("quenzar.exe", folder, sizeof folder));
  EXPECT_STREQ("", folder);
  ASSERT_TRUE(handOverFolder("\\quenzar.exe", folder, sizeof folder));
  EXPECT_STREQ("", folder);
}

TEST(LaunchRecord, LastRunKeepsEarlierValuesAndLastSRunChangeRulesReadBack) {
  const std::string longest(kLaunchPathSize - 1, 'p');
  const std::tuple<std::string, bool, LaunchRecord> cases[] = {
      {".\\client\\poker.exe 1234 3735928559", true, {".\\client\\poker.exe", 1234, 3735928559u}},
      {"poker.exe 55", true, {"poker.exe", 55, 2}},
      {"poker.exe abc 12", true, {"poker.exe", 1, 2}},
      {longest + " 3 4", true, {"", 3, 4}},
      // An overlong or empty path is refused and changes nothing.
      {std::string(kLaunchPathSize, 'p') + " 1 2", false, {"keep", 1, 2}},
      {"   ", false, {"keep", 1, 2}},
  };
  for (const auto& [text, taken, after] : cases) {
    LaunchRecord record = {"keep", 1, 2};
    EXPECT_EQ(taken, parseLastRun(text.c_str(), &record)) << text;
    EXPECT_EQ(after.szPath[0] ? std::string(after.szPath) : longest, record.szPath) << text;
    EXPECT_EQ(after.ulPid, record.ulPid) << text;
    EXPECT_EQ(after.ulCrc, record.ulCrc) << text;
  }
  StubVersion current = {{1, 0, 0, 7}};
  for (const char* changed : {"1 0 0 6", "2 0 0 7", "0 0 0 0", "-1 0 0 7"})
    EXPECT_TRUE(isStubVersionChanged(parseLastSRun(changed), current)) << changed;
  // No fourth number, or -1 there: nothing was recorded, nothing is cleared.
  for (const char* same : {"1 0 0 7", "1 0 0", "9 9 9 -1", "", "garbage"})
    EXPECT_FALSE(isStubVersionChanged(parseLastSRun(same), current)) << same;

  char text[64];
  ASSERT_TRUE(formatStubVersion(current, text, sizeof text));
  EXPECT_STREQ("1 0 0 7", text);
  char tiny[4];
  EXPECT_FALSE(formatStubVersion(current, tiny, sizeof tiny));
  EXPECT_STREQ("", tiny);
}
