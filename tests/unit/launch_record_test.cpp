#include "app/launch_record.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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
