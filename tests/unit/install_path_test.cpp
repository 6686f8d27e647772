#include "app/install_path.h"

#include "app/companion_path.h"
#include "app/relative_path.h"

#include <gtest/gtest.h>

TEST(InstallPath, JoinsOnlyPathsThatStayInTheFolderAndFitWhole) {
  const char* cases[][2] = {
      {"bin\\client.exe", "C:\\Quenzar\\bin\\client.exe"},
      {".\\bin\\client.exe", "C:\\Quenzar\\bin\\client.exe"},
      {"\\bin\\client.exe", "C:\\Quenzar\\bin\\client.exe"},
      {"client.exe", "C:\\Quenzar\\client.exe"},
      {"a..b\\c.exe", "C:\\Quenzar\\a..b\\c.exe"},  // dots inside a name are a name
      {"..\\..\\Windows\\explorer.exe", ""},
      {"bin\\..\\..\\x.exe", ""},
      {"\\\\server\\x.exe", ""},
      {"C:\\Windows\\notepad.exe", ""},
      {"bin/../../x.exe", ""},
      {"bin\\...\\x.exe", ""},
      {"", ""},
      {"bin\\. .\\x.exe", ""},
  };
  for (auto& c : cases) {
    char out[516] = "junk";
    EXPECT_EQ(c[1][0] != '\0', joinInstallPath("C:\\Quenzar", c[0], out, sizeof out)) << c[0];
    EXPECT_STREQ(c[1], out) << c[0];
  }
  char out[516] = "junk";
  EXPECT_FALSE(joinInstallPath("", "client.exe", out, sizeof out));
  const std::string folder = "C:\\" + std::string(100, 'f'), joined = folder + "\\nnn";
  std::string buffer(joined.size() + 1, '\0');
  EXPECT_TRUE(joinInstallPath(folder.c_str(), "nnn", &buffer[0], joined.size() + 1));
  EXPECT_EQ(joined, buffer.c_str());
  EXPECT_FALSE(joinInstallPath(folder.c_str(), "nnn", &buffer[0], joined.size()));
  EXPECT_STREQ("", buffer.c_str());
}

TEST(RelativePath, OneLeadingMarkerIsDroppedAndTheResultFitsWhole) {
  const char* cases[][2] = {
      {".\\a\\b.exe", "a\\b.exe"}, {"\\a\\b.exe", "a\\b.exe"}, {"a\\b.exe", "a\\b.exe"},
      {".b.exe", ".b.exe"},        {"..\\b.exe", ".\\b.exe"},  {"", ""},
  };
  for (auto& c : cases) {
    char out[260] = {};
    ASSERT_TRUE(normalizeRelativePath(c[0], out, sizeof out)) << c[0];
    EXPECT_STREQ(c[1], out) << c[0];
  }
  char exact[6], small[5];
  EXPECT_TRUE(normalizeRelativePath(".\\xxxxx", exact, sizeof exact));
  EXPECT_STREQ("xxxxx", exact);
  EXPECT_FALSE(normalizeRelativePath(".\\xxxxx", small, sizeof small));
  EXPECT_STREQ("", small);
}

TEST(InstallPath, PathInsideFolder) {
  for (const char* inside : {"C:\\Quenzar\\bin\\client.exe", "c:\\quenzar\\client.exe"})
    EXPECT_TRUE(isPathInsideFolder(inside, "C:\\Quenzar")) << inside;
  for (const char* outside : {"C:\\Quenzar", "C:\\Quenzar\\", "C:\\QuenzarX\\client.exe",
                              "C:\\Quenzar\\..\\Windows\\explorer.exe", "C:\\Quenzar\\\\x.exe"})
    EXPECT_FALSE(isPathInsideFolder(outside, "C:\\Quenzar")) << outside;
  EXPECT_TRUE(isPathInsideFolder("C:\\Quenzar\\client.exe", "C:\\Quenzar\\"));
  EXPECT_FALSE(isPathInsideFolder("C:\\Windows\\x.exe", ""));
}

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
