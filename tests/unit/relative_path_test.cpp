#include "app/relative_path.h"

#include <gtest/gtest.h>

#include <string>

TEST(RelativePath, LeadingMarkersAreDropped) {
  const char* cases[][2] = {
      {".\\a\\b.exe", "a\\b.exe"},
      {"\\a\\b.exe", "a\\b.exe"},
      {"a\\b.exe", "a\\b.exe"},
      {".b.exe", ".b.exe"},       // no backslash: unchanged
      {"..\\b.exe", ".\\b.exe"},  // only one leading dot goes
      {"", ""},
  };
  for (auto& c : cases) {
    char out[260] = {};
    ASSERT_TRUE(normalizeRelativePath(c[0], out, sizeof out)) << c[0];
    EXPECT_STREQ(c[1], out) << c[0];
  }
}

TEST(RelativePath, ResultThatDoesNotFitIsRefused) {
  std::string path = ".\\" + std::string(20, 'x');
  char small[10];
  EXPECT_FALSE(normalizeRelativePath(path.c_str(), small, sizeof small));
  EXPECT_STREQ("", small);
  char exact[21];
  EXPECT_TRUE(normalizeRelativePath(path.c_str(), exact, sizeof exact));
  EXPECT_EQ(std::string(20, 'x'), exact);
}
