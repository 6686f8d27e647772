#include "app/companion_path.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "ui/flash_version.h"

TEST(CompanionPath, NameTakesThePlaceOfTheExecutableOrNothingIsGiven) {
  const std::tuple<const char*, size_t, const char*> cases[] = {
      {"C:\\download\\velorin.exe", 260, "C:\\download\\pnglib.dll"},
      {"C:\\velorin.exe", 260, "C:\\pnglib.dll"},
      // A bare name would hand the library to the system's search order.
      {"velorin.exe", 260, ""},
      // Exact fit, one byte short, and room for the folder but no terminator.
      {"C:\\q\\velorin.exe", 16, "C:\\q\\pnglib.dll"},
      {"C:\\q\\velorin.exe", 15, ""},
      {"C:\\q\\velorin.exe", 5, ""},
  };
  for (const auto& [own, size, expected] : cases) {
    std::string out(size, 'x');
    EXPECT_EQ(expected[0] != '\0', besideOwnExecutable(own, "pnglib.dll", &out[0], size))
        << own << " in " << size;
    EXPECT_STREQ(expected, out.c_str()) << own << " in " << size;
  }
}

TEST(FlashVersion, MajorVersionIsTheHighHalfReadUnsigned) {
  EXPECT_FALSE(flashVersionSuffices(0x0007FFFFu));  // 7.65535
  EXPECT_TRUE(flashVersionSuffices(0x00080000u));   // 8.0
  EXPECT_TRUE(flashVersionSuffices(0x00090073u));
  EXPECT_TRUE(flashVersionSuffices(0xFFFF0000u));  // negative as a signed answer
  EXPECT_FALSE(flashVersionSuffices(0u));
}
