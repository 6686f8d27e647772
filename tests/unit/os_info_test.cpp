#include "report/os_info.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

OsInfo describe(uint32_t platform,
                uint32_t major,
                uint32_t minor,
                uint32_t build,
                const char* csd) {
  WindowsVersion v = {platform, major, minor, build, {}};
  strncpy(v.csd, csd, sizeof v.csd - 1);
  return OsInfo(&v);
}

}  // namespace

TEST(OsInfo, NinetyFiveFamily) {
  OsInfo plain = describe(1, 4, 0, 950, "");
  EXPECT_EQ(WINDOWS_95, plain.getKind());
  EXPECT_STREQ("Microsoft Windows 95 ", plain.getOsName());
  EXPECT_STREQ("Microsoft Windows 95 OSR2 ", describe(1, 4, 0, 1111, " C").getOsName());
  EXPECT_STREQ("Microsoft Windows 95 B ", describe(1, 4, 0, 1111, " B").getOsName());

  OsInfo se = describe(1, 4, 10, 0x040A08AE, " A ");
  EXPECT_EQ(WINDOWS_98, se.getKind());
  EXPECT_STREQ("Microsoft Windows 98 SE ", se.getOsName());
  EXPECT_STREQ("Microsoft Windows 98 ", describe(1, 4, 10, 1998, "").getOsName());

  OsInfo me = describe(1, 4, 90, 3000, "");
  EXPECT_EQ(WINDOWS_ME, me.getKind());
  EXPECT_STREQ("Microsoft Windows Me ", me.getOsName());

  OsInfo odd = describe(1, 5, 0, 1, "");
  EXPECT_EQ(WINDOWS_95, odd.getKind());
  EXPECT_STREQ("", odd.getOsName());
}

TEST(OsInfo, NtFamily) {
  OsInfo nt4 = describe(2, 4, 0, 1381, "Service Pack 6a");
  EXPECT_EQ(WINDOWS_NT4, nt4.getKind());
  EXPECT_STREQ("Microsoft Windows NT version 4.0 Service Pack 6a (Build 1381) ", nt4.getOsName());
  EXPECT_EQ(WINDOWS_NT351, describe(2, 3, 51, 1057, "").getKind());
  EXPECT_EQ(WINDOWS_95, describe(2, 3, 10, 511, "").getKind());

  OsInfo w2k = describe(2, 5, 0, 2195, "Service Pack 4");
  EXPECT_EQ(WINDOWS_2000, w2k.getKind());
  EXPECT_STREQ("Microsoft Windows 2000 Service Pack 4 (Build 2195)", w2k.getOsName());

  OsInfo xp = describe(2, 5, 1, 0x0A280A28, "Service Pack 3");
  EXPECT_EQ(WINDOWS_XP, xp.getKind());
  EXPECT_STREQ("Microsoft Windows XP Service Pack 3 (Build 2600)", xp.getOsName());

  OsInfo seven = describe(2, 6, 1, 7601, "Service Pack 1");
  EXPECT_EQ(WINDOWS_95, seven.getKind());  // no kind of its own: the gate checks the number
  EXPECT_STREQ("Service Pack 1 (Build 7601)", seven.getOsName());
}

TEST(OsInfo, UnknownOrUnreadable) {
  EXPECT_STREQ("Microsoft Win32s ", describe(0, 3, 10, 0, "").getOsName());
  EXPECT_EQ(WINDOWS_WIN32S, describe(0, 3, 10, 0, "").getKind());
  EXPECT_STREQ("", describe(3, 10, 0, 0, "").getOsName());
  OsInfo none(nullptr);
  EXPECT_EQ(WINDOWS_95, none.getKind());
  EXPECT_STREQ("", none.getOsName());
}

TEST(OsInfo, UnterminatedServicePackTextStaysInBounds) {
  WindowsVersion v = {2, 5, 1, 2600, {}};
  memset(v.csd, 'S', sizeof v.csd);  // no terminator at all
  OsInfo xp(&v);
  EXPECT_EQ(WINDOWS_XP, xp.getKind());
  EXPECT_EQ(0u, std::string(xp.getOsName()).find("Microsoft Windows XP SSS"));
}
