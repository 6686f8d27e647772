#include "app/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Each helper is driven at the edge: a result that fills the buffer exactly
// (terminator included) and one that is one byte too long. A guard byte past
// the buffer catches any write beyond it.
namespace {

constexpr size_t kSize = 8;

struct Guarded {
  char bytes[kSize + 1];
  Guarded() {
    memset(bytes, '#', sizeof bytes);
    bytes[0] = '\0';
  }
  char* text() { return bytes; }
  bool guardIntact() const { return bytes[kSize] == '#'; }
};

}  // namespace

TEST(BoundedText, CopyFitsExactlyOrLeavesEmpty) {
  Guarded g;
  EXPECT_TRUE(copyText(g.text(), kSize, "1234567"));
  EXPECT_STREQ("1234567", g.text());
  EXPECT_FALSE(copyText(g.text(), kSize, "12345678"));
  EXPECT_STREQ("", g.text());
  EXPECT_TRUE(g.guardIntact());

  EXPECT_TRUE(copyTextPart(g.text(), kSize, "abcdefghij", 7));
  EXPECT_STREQ("abcdefg", g.text());
  EXPECT_FALSE(copyTextPart(g.text(), kSize, "abcdefghij", 8));
  EXPECT_STREQ("", g.text());
  EXPECT_FALSE(copyText(g.text(), 0, ""));
  EXPECT_TRUE(g.guardIntact());
}

TEST(BoundedText, AppendFitsExactlyOrLeavesUnchanged) {
  Guarded g;
  ASSERT_TRUE(copyText(g.text(), kSize, "abc"));
  EXPECT_FALSE(appendText(g.text(), kSize, "defgh"));  // 8 characters: one too many
  EXPECT_STREQ("abc", g.text());
  EXPECT_TRUE(appendText(g.text(), kSize, "defg"));
  EXPECT_STREQ("abcdefg", g.text());
  EXPECT_FALSE(appendText(g.text(), kSize, "h"));
  EXPECT_TRUE(appendText(g.text(), kSize, ""));
  EXPECT_STREQ("abcdefg", g.text());
  EXPECT_TRUE(g.guardIntact());

  // A destination without a terminator in its size takes nothing.
  char full[4] = {'w', 'x', 'y', 'z'};
  EXPECT_FALSE(appendText(full, sizeof full, ""));
  EXPECT_EQ(0, memcmp(full, "wxyz", 4));
}

TEST(BoundedText, FormatFitsExactlyOrLeavesEmpty) {
  Guarded g;
  EXPECT_TRUE(formatText(g.text(), kSize, "%s%03d", "ab", 7));
  EXPECT_STREQ("ab007", g.text());
  EXPECT_TRUE(formatText(g.text(), kSize, "%u", 1234567u));
  EXPECT_STREQ("1234567", g.text());
  EXPECT_FALSE(formatText(g.text(), kSize, "%u", 12345678u));
  EXPECT_STREQ("", g.text());
  EXPECT_TRUE(g.guardIntact());
}

TEST(BoundedText, LengthStopsAtTheBufferEnd) {
  EXPECT_EQ(3u, boundedLength("abc\0def", 8));
  EXPECT_EQ(4u, boundedLength("abcdefgh", 4));
  EXPECT_EQ(0u, boundedLength("", 1));
}

TEST(BoundedText, CaseIsIgnoredForEveryLetterOnly) {
  std::string upper, lower;
  for (char c = 'A'; c <= 'Z'; ++c) {
    upper += c;
    lower += static_cast<char>(c - 'A' + 'a');
  }
  EXPECT_TRUE(equalsIgnoreCase(upper.c_str(), lower.c_str()));
  EXPECT_TRUE(equalsIgnoreCase(lower.c_str(), upper.c_str()));
  // Neighbours of the letter ranges are not letters: '@' is not '`', '[' is not '{'.
  EXPECT_FALSE(equalsIgnoreCase("@", "`"));
  EXPECT_FALSE(equalsIgnoreCase("[", "{"));
  EXPECT_FALSE(equalsIgnoreCase("C:\\Quenzar", "c:\\quenza"));
  EXPECT_FALSE(equalsIgnoreCase("c:\\quenza", "C:\\Quenzar"));
  EXPECT_TRUE(equalsIgnoreCase("", ""));
}
