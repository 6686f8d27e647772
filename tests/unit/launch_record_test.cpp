#include "app/launch_record.h"

#include <gtest/gtest.h>

#include <string>

TEST(LastRun, PathProcessAndChecksum) {
  LaunchRecord record = {};
  ASSERT_TRUE(parseLastRun(".\\client\\poker.exe 1234 3735928559", &record));
  EXPECT_STREQ(".\\client\\poker.exe", record.szPath);
  EXPECT_EQ(1234u, record.ulPid);
  EXPECT_EQ(3735928559u, record.ulCrc);
}

TEST(LastRun, MissingFieldsKeepEarlierValues) {
  LaunchRecord record = {"old", 7, 9};
  ASSERT_TRUE(parseLastRun("poker.exe 55", &record));
  EXPECT_STREQ("poker.exe", record.szPath);
  EXPECT_EQ(55u, record.ulPid);
  EXPECT_EQ(9u, record.ulCrc);

  ASSERT_TRUE(parseLastRun("poker.exe abc 12", &record));
  EXPECT_EQ(55u, record.ulPid);
  EXPECT_EQ(9u, record.ulCrc);
}

TEST(LastRun, OverlongOrEmptyPathIsRefused) {
  LaunchRecord record = {"keep", 1, 2};
  std::string text = std::string(kLaunchPathSize, 'p') + " 1 2";
  EXPECT_FALSE(parseLastRun(text.c_str(), &record));
  EXPECT_FALSE(parseLastRun("   ", &record));
  EXPECT_STREQ("keep", record.szPath);
  EXPECT_EQ(1u, record.ulPid);

  text = std::string(kLaunchPathSize - 1, 'p') + " 3 4";
  ASSERT_TRUE(parseLastRun(text.c_str(), &record));
  EXPECT_EQ(kLaunchPathSize - 1, std::string(record.szPath).size());
  EXPECT_EQ(4u, record.ulCrc);
}

TEST(LastSRun, VersionChangeRules) {
  StubVersion current = {{1, 0, 0, 7}};
  EXPECT_FALSE(isStubVersionChanged(parseLastSRun("1 0 0 7"), current));
  EXPECT_TRUE(isStubVersionChanged(parseLastSRun("1 0 0 6"), current));
  EXPECT_TRUE(isStubVersionChanged(parseLastSRun("2 0 0 7"), current));
  EXPECT_TRUE(isStubVersionChanged(parseLastSRun("0 0 0 0"), current));
  // No fourth number, or -1 there: nothing was recorded, nothing is cleared.
  EXPECT_FALSE(isStubVersionChanged(parseLastSRun("1 0 0"), current));
  EXPECT_FALSE(isStubVersionChanged(parseLastSRun("9 9 9 -1"), current));
  EXPECT_FALSE(isStubVersionChanged(parseLastSRun(""), current));
  EXPECT_FALSE(isStubVersionChanged(parseLastSRun("garbage"), current));
  // A -1 elsewhere is just a different version.
  EXPECT_TRUE(isStubVersionChanged(parseLastSRun("-1 0 0 7"), current));
}

TEST(LastSRun, FormatReadsBack) {
  StubVersion version = {{1, 0, 0, 7}};
  char text[64];
  ASSERT_TRUE(formatStubVersion(version, text, sizeof text));
  EXPECT_STREQ("1 0 0 7", text);
  StubVersion back = parseLastSRun(text);
  EXPECT_FALSE(isStubVersionChanged(back, version));
  char tiny[4];
  EXPECT_FALSE(formatStubVersion(version, tiny, sizeof tiny));
  EXPECT_STREQ("", tiny);
}
