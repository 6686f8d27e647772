#include "app/companion_path.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ui/flash_version.h"

TEST(CompanionPath, NameTakesThePlaceOfTheExecutable) {
  char out[260] = "x";
  ASSERT_TRUE(besideOwnExecutable("C:\\download\\velorin.exe", "pnglib.dll", out, sizeof out));
  EXPECT_STREQ("C:\\download\\pnglib.dll", out);
  ASSERT_TRUE(besideOwnExecutable("C:\\velorin.exe", "MSVBVM60.DLL", out, sizeof out));
  EXPECT_STREQ("C:\\MSVBVM60.DLL", out);
}

TEST(CompanionPath, NoFolderOrNoRoomGivesNothing) {
  char out[260] = "x";
  // A bare name would hand the library to the system's search order.
  EXPECT_FALSE(besideOwnExecutable("velorin.exe", "pnglib.dll", out, sizeof out));
  EXPECT_STREQ("", out);
  const char* own = "C:\\q\\velorin.exe";
  const char* expected = "C:\\q\\pnglib.dll";
  char exact[16];  // strlen(expected) == 15
  ASSERT_EQ(strlen(expected) + 1, sizeof exact);
  EXPECT_TRUE(besideOwnExecutable(own, "pnglib.dll", exact, sizeof exact));
  EXPECT_STREQ(expected, exact);
  char short_by_one[15];
  EXPECT_FALSE(besideOwnExecutable(own, "pnglib.dll", short_by_one, sizeof short_by_one));
  EXPECT_STREQ("", short_by_one);
  char folder_only[5];  // "C:\q\" fits no terminator: nothing, not a folder
  EXPECT_FALSE(besideOwnExecutable(own, "pnglib.dll", folder_only, sizeof folder_only));
  EXPECT_STREQ("", folder_only);
}

TEST(FlashVersion, MajorVersionIsTheHighHalfReadUnsigned) {
  EXPECT_FALSE(flashVersionSuffices(0x0007FFFFu));  // 7.65535
  EXPECT_TRUE(flashVersionSuffices(0x00080000u));   // 8.0
  EXPECT_TRUE(flashVersionSuffices(0x00090073u));
  EXPECT_TRUE(flashVersionSuffices(0xFFFF0000u));  // negative as a signed answer
  EXPECT_FALSE(flashVersionSuffices(0u));
}
