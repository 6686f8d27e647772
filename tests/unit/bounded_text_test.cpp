#include "app/bounded_text.h"

#include <gtest/gtest.h>

TEST(BoundedText, FitExactlyOrTakeNothingAndCaseIsIgnoredForLettersOnly) {
  char g[9];
  memset(g, '#', sizeof g);
  EXPECT_TRUE(copyText(g, 8, "1234567"));
  EXPECT_STREQ("1234567", g);
  EXPECT_FALSE(copyText(g, 8, "12345678"));
  EXPECT_STREQ("", g);
  EXPECT_TRUE(copyTextPart(g, 8, "abcdefghij", 7));
  EXPECT_STREQ("abcdefg", g);
  EXPECT_FALSE(copyTextPart(g, 8, "abcdefghij", 8));
  EXPECT_STREQ("", g);
  EXPECT_FALSE(copyText(g, 0, ""));

  EXPECT_TRUE(formatText(g, 8, "%s%03d", "ab", 7));
  EXPECT_STREQ("ab007", g);
  EXPECT_TRUE(formatText(g, 8, "%u", 1234567u));
  EXPECT_STREQ("1234567", g);
  EXPECT_FALSE(formatText(g, 8, "%u", 12345678u));
  EXPECT_STREQ("", g);

  ASSERT_TRUE(copyText(g, 8, "abc"));
  EXPECT_FALSE(appendText(g, 8, "defgh"));  // 8 characters: one too many, nothing taken
  EXPECT_STREQ("abc", g);
  EXPECT_TRUE(appendText(g, 8, "defg"));
  EXPECT_STREQ("abcdefg", g);
  EXPECT_FALSE(appendText(g, 8, "h"));
  EXPECT_TRUE(appendText(g, 8, ""));
  EXPECT_STREQ("abcdefg", g);
  EXPECT_EQ('#', g[8]);

  // A destination without a terminator in its size takes nothing.
  char full[4] = {'w', 'x', 'y', 'z'};
  EXPECT_FALSE(appendText(full, sizeof full, ""));
  EXPECT_EQ(0, memcmp(full, "wxyz", 4));

  EXPECT_EQ(3u, boundedLength("abc\0def", 8));
  EXPECT_EQ(4u, boundedLength("abcdefgh", 4));
  EXPECT_EQ(0u, boundedLength("", 1));
  // Neighbours of the letter ranges are not letters: '@' is not '`', '[' is not '{'.
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz", true},
      {"", "", true},
      {"@", "`", false},
      {"[", "{", false},
      {"C:\\Quenzar", "c:\\quenza", false}};
  for (const auto& [a, b, equal] : cases) {
    EXPECT_EQ(equalsIgnoreCase(a, b), equal) << a;
    EXPECT_EQ(equalsIgnoreCase(b, a), equal) << a;
  }
}
