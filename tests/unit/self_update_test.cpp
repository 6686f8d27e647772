#include "app/self_update.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SelfUpdateCommand parse(const std::string& line) {
  SelfUpdateCommand command;
  parseSelfUpdateCommand(line.c_str(), &command);
  return command;
}

}  // namespace

TEST(SelfUpdateCommand, PathsWithBlanksRunToTheirMarkers) {
  SelfUpdateCommand c = parse(
      "\"C:\\My Temp\\cci1.tmp\" /self:C:\\Old Stub\\setup.exe /target:C:\\Program "
      "Files\\Quenzar Poker\\quenzar.exe");
  EXPECT_TRUE(c.bTarget);
  EXPECT_TRUE(c.bSelf);
  EXPECT_STREQ("C:\\Old Stub\\setup.exe", c.szSelf);
  EXPECT_STREQ("C:\\Program Files\\Quenzar Poker\\quenzar.exe", c.szTarget);

  // The target runs to the very end, trailing blank included.
  c = parse("/self:a /target:C:\\x\\quenzar.exe ");
  EXPECT_STREQ("C:\\x\\quenzar.exe ", c.szTarget);
  EXPECT_STREQ("a", c.szSelf);
}

TEST(SelfUpdateCommand, MissingOrUnusablePieces) {
  SelfUpdateCommand c = parse("/uninstall");
  EXPECT_FALSE(c.bTarget);
  EXPECT_FALSE(c.bSelf);
  EXPECT_STREQ("", c.szTarget);

  // A target alone is a hand-over without the old stub's file.
  c = parse("x.tmp /target:C:\\q\\quenzar.exe");
  EXPECT_TRUE(c.bTarget);
  EXPECT_FALSE(c.bSelf);
  EXPECT_STREQ("C:\\q\\quenzar.exe", c.szTarget);

  // "/self:" given but with nothing usable between it and "/target:".
  const char* unusable[] = {
      "/self: /target:C:\\q\\quenzar.exe",           // empty path
      "/self:C:\\a.exe/target:C:\\q\\quenzar.exe",   // no blank before /target:
      "/target:C:\\q\\quenzar.exe /self:C:\\a.exe",  // after the target
      "/self:/target:C:\\q\\quenzar.exe",            // marker runs into the next
  };
  for (const char* line : unusable) {
    c = parse(line);
    EXPECT_TRUE(c.bSelf) << line;
    EXPECT_TRUE(c.bTarget) << line;
    EXPECT_STREQ("", c.szSelf) << line;
  }
  c = parse("/target:");
  EXPECT_TRUE(c.bTarget);
  EXPECT_STREQ("", c.szTarget);
}

TEST(SelfUpdateCommand, LongestPathsFitAndOneMoreIsRefusedNotCut) {
  std::string fits(kSelfPathSize - 1, 'p');
  SelfUpdateCommand c = parse("/self:" + fits + " /target:" + fits);
  EXPECT_EQ(fits, c.szSelf);
  EXPECT_EQ(fits, c.szTarget);

  c = parse("/self:" + fits + "q /target:" + fits + "q");
  EXPECT_TRUE(c.bSelf);
  EXPECT_TRUE(c.bTarget);
  EXPECT_STREQ("", c.szSelf);
  EXPECT_STREQ("", c.szTarget);
}

TEST(SelfUpdateCommand, TargetFolderIsTheTextBeforeTheLastBackslash) {
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
