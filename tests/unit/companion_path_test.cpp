#include "app/companion_path.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/flash_version.h"

TEST(CompanionPath, NameTakesThePlaceOfTheExecutableOrNothingIsGiven) {
  struct {
    const char* own;
    size_t size;
    const char* expected;  // "": refused
  } const cases[] = {
      {"C:\\download\\velorin.exe", 260, "C:\\download\\pnglib.dll"},
      {"C:\\velorin.exe", 260, "C:\\pnglib.dll"},
      // A bare name would hand the library to the system's search order.
      {"velorin.exe", 260, ""},
      // Exact fit, one byte short, and room for the folder but no terminator.
      {"C:\\q\\velorin.exe", 16, "C:\\q\\pnglib.dll"},
      {"C:\\q\\velorin.exe", 15, ""},
      {"C:\\q\\velorin.exe", 5, ""},
  };
  for (const auto& c : cases) {
    std::string out(c.size, 'x');
    EXPECT_EQ(c.expected[0] != '\0', besideOwnExecutable(c.own, "pnglib.dll", &out[0], c.size))
        << c.own << " in " << c.size;
    EXPECT_STREQ(c.expected, out.c_str()) << c.own << " in " << c.size;
  }
}

TEST(FlashVersion, MajorVersionIsTheHighHalfReadUnsigned) {
  EXPECT_FALSE(flashVersionSuffices(0x0007FFFFu));  // 7.65535
  EXPECT_TRUE(flashVersionSuffices(0x00080000u));   // 8.0
  EXPECT_TRUE(flashVersionSuffices(0x00090073u));
  EXPECT_TRUE(flashVersionSuffices(0xFFFF0000u));  // negative as a signed answer
  EXPECT_FALSE(flashVersionSuffices(0u));
}
