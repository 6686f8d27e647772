#include "report/os_info.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(OsInfo, KindAndNameForEachPlatformAndVersion) {
  const struct {
    uint32_t platform, major, minor, build;
    const char* csd;
    int kind;
    const char* name;
  } cases[] = {
      {1, 4, 0, 950, "", WINDOWS_95, "Microsoft Windows 95 "},
      {1, 4, 0, 1111, " C", WINDOWS_95, "Microsoft Windows 95 OSR2 "},
      {1, 4, 10, 0x040A08AE, " A ", WINDOWS_98, "Microsoft Windows 98 SE "},
      {1, 4, 90, 3000, "", WINDOWS_ME, "Microsoft Windows Me "},
      {1, 5, 0, 1, "", WINDOWS_95, ""},
      {2, 4, 0, 1381, "Service Pack 6a", WINDOWS_NT4,
       "Microsoft Windows NT version 4.0 Service Pack 6a (Build 1381) "},
      {2, 3, 51, 1057, "", WINDOWS_NT351, "Microsoft Windows NT version 3.51  (Build 1057) "},
      {2, 5, 0, 2195, "Service Pack 4", WINDOWS_2000,
       "Microsoft Windows 2000 Service Pack 4 (Build 2195)"},
      {2, 5, 1, 0x0A280A28, "Service Pack 3", WINDOWS_XP,
       "Microsoft Windows XP Service Pack 3 (Build 2600)"},
      // No kind of its own: the gate checks the number.
      {2, 6, 1, 7601, "Service Pack 1", WINDOWS_95, "Service Pack 1 (Build 7601)"},
      {0, 3, 10, 0, "", WINDOWS_WIN32S, "Microsoft Win32s "},
      {3, 10, 0, 0, "", WINDOWS_95, ""},
  };
  for (const auto& c : cases) {
    WindowsVersion v = {c.platform, c.major, c.minor, c.build, {}};
    strncpy(v.csd, c.csd, sizeof v.csd - 1);
    OsInfo info(&v);
    EXPECT_EQ(c.kind, info.getKind()) << c.name;
    EXPECT_STREQ(c.name, info.getOsName());
  }
  OsInfo none(nullptr);
  EXPECT_EQ(WINDOWS_95, none.getKind());
  EXPECT_STREQ("", none.getOsName());
  // A service pack text without a terminator stays in bounds.
  WindowsVersion v = {2, 5, 1, 2600, {}};
  memset(v.csd, 'S', sizeof v.csd);
  OsInfo xp(&v);
  EXPECT_EQ(WINDOWS_XP, xp.getKind());
  EXPECT_EQ(0u, std::string(xp.getOsName()).find("Microsoft Windows XP SSS"));
}
