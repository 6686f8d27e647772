#include "app/self_update.h"

#include <gtest/gtest.h>

#include <string>

TEST(SelfUpdateCommand, PathsRunToTheirMarkersWholeOrNotAtAll) {
  const std::string fits(kSelfPathSize - 1, 'p');
  struct {
    std::string line;
    bool self, target;
    std::string szSelf, szTarget;
  } const cases[] = {
      {"\"C:\\My Temp\\cci1.tmp\" /self:C:\\Old Stub\\setup.exe /target:C:\\Program "
       "Files\\Quenzar Poker\\quenzar.exe",
       true, true, "C:\\Old Stub\\setup.exe", "C:\\Program Files\\Quenzar Poker\\quenzar.exe"},
      // The target runs to the very end, trailing blank included.
      {"/self:a /target:C:\\x\\quenzar.exe ", true, true, "a", "C:\\x\\quenzar.exe "},
      {"/uninstall", false, false, "", ""},
      // A target alone is a hand-over without the old stub's file.
      {"x.tmp /target:C:\\q\\quenzar.exe", false, true, "", "C:\\q\\quenzar.exe"},
      // "/self:" given but with nothing usable between it and "/target:": an
      // empty path, no blank before "/target:", after the target, run together.
      {"/self: /target:C:\\q\\quenzar.exe", true, true, "", "C:\\q\\quenzar.exe"},
      {"/self:C:\\a.exe/target:C:\\q\\quenzar.exe", true, true, "", "C:\\q\\quenzar.exe"},
      {"/target:C:\\q\\quenzar.exe /self:C:\\a.exe", true, true, "",
       "C:\\q\\quenzar.exe /self:C:\\a.exe"},
      // The longest paths fit; one more character is refused, not cut.
      {"/self:" + fits + " /target:" + fits, true, true, fits, fits},
      {"/self:" + fits + "q /target:" + fits + "q", true, true, "", ""},
  };
  for (const auto& c : cases) {
    SelfUpdateCommand command;
    parseSelfUpdateCommand(c.line.c_str(), &command);
    EXPECT_EQ(c.self, command.bSelf) << c.line;
    EXPECT_EQ(c.target, command.bTarget) << c.line;
    EXPECT_EQ(c.szSelf, command.szSelf) << c.line;
    EXPECT_EQ(c.szTarget, command.szTarget) << c.line;
  }
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
