#include "app/install_path.h"

#include "app/relative_path.h"

#include <gtest/gtest.h>

#include <string>

TEST(InstallPath, JoinsOnlyPathsThatStayInTheFolderAndFitWhole) {
  const char* kept[][2] = {
      {"bin\\client.exe", "C:\\Quenzar\\bin\\client.exe"},
      {".\\bin\\client.exe", "C:\\Quenzar\\bin\\client.exe"},
      {"\\bin\\client.exe", "C:\\Quenzar\\bin\\client.exe"},
      {"client.exe", "C:\\Quenzar\\client.exe"},
      {"a..b\\c.exe", "C:\\Quenzar\\a..b\\c.exe"},  // dots inside a name are a name
  };
  for (auto& c : kept) {
    char out[516];
    EXPECT_TRUE(joinInstallPath("C:\\Quenzar", c[0], out, sizeof out)) << c[0];
    EXPECT_STREQ(c[1], out) << c[0];
  }
  const char* refused[] = {
      "..\\..\\Windows\\explorer.exe",
      "bin\\..\\..\\x.exe",
      "\\\\server\\x.exe",
      "C:\\Windows\\notepad.exe",
      "bin/../../x.exe",
      "bin\\...\\x.exe",
      "",
      "bin\\. .\\x.exe",
  };
  for (const char* path : refused) {
    char out[516] = "junk";
    EXPECT_FALSE(joinInstallPath("C:\\Quenzar", path, out, sizeof out)) << path;
    EXPECT_STREQ("", out) << path;
  }
  char out[516] = "junk";
  EXPECT_FALSE(joinInstallPath("", "client.exe", out, sizeof out));
  std::string folder = "C:\\" + std::string(100, 'f');
  std::string name(31, 'n');
  std::string joined = folder + "\\" + name;
  std::string buffer(joined.size() + 1, '\0');
  EXPECT_TRUE(joinInstallPath(folder.c_str(), name.c_str(), &buffer[0], joined.size() + 1));
  EXPECT_EQ(joined, buffer.c_str());
  EXPECT_FALSE(joinInstallPath(folder.c_str(), name.c_str(), &buffer[0], joined.size()));
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
  EXPECT_TRUE(isPathInsideFolder("C:\\Quenzar\\bin\\client.exe", "C:\\Quenzar"));
  EXPECT_TRUE(isPathInsideFolder("c:\\quenzar\\client.exe", "C:\\Quenzar"));
  EXPECT_TRUE(isPathInsideFolder("C:\\Quenzar\\client.exe", "C:\\Quenzar\\"));
  EXPECT_FALSE(isPathInsideFolder("C:\\Quenzar", "C:\\Quenzar"));
  EXPECT_FALSE(isPathInsideFolder("C:\\Quenzar\\", "C:\\Quenzar"));
  EXPECT_FALSE(isPathInsideFolder("C:\\QuenzarX\\client.exe", "C:\\Quenzar"));
  EXPECT_FALSE(isPathInsideFolder("C:\\Quenzar\\..\\Windows\\explorer.exe", "C:\\Quenzar"));
  EXPECT_FALSE(isPathInsideFolder("C:\\Quenzar\\\\x.exe", "C:\\Quenzar"));
  EXPECT_FALSE(isPathInsideFolder("C:\\Windows\\x.exe", ""));
}
