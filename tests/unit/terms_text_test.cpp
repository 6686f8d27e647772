#include "ui/terms_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

TEST(TermsText, ThreeSectionsPlainTextBuiltOnceAndCopiedWholeOrNotAtAll) {
  buildTermsText();
  const std::string text = g_szTermsText;
  EXPECT_GE(text.size(), 40000u);
  EXPECT_EQ(0u, text.find("TERMS AND CONDITIONS\n"));
  size_t privacy = text.find("\nPRIVACY POLICY\n");
  ASSERT_NE(std::string::npos, privacy);
  EXPECT_LT(privacy, text.find("\nCREDIT CARD USE POLICY\n"));
  const std::string last = "Please print this page and keep it for your records.\n";
  ASSERT_GT(text.size(), last.size());
  EXPECT_EQ(last, text.substr(text.size() - last.size()));

  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << int(c) << " at " << i;
  }

  buildTermsText();  // a second build starts afresh
  EXPECT_EQ(text, g_szTermsText);
  const size_t length = text.size();
  std::vector<char> buffer(length + 1, 'x');
  ASSERT_TRUE(fillTermsText(buffer.data(), buffer.size()));
  EXPECT_STREQ(g_szTermsText, buffer.data());

  buffer.assign(length, 'x');
  EXPECT_FALSE(fillTermsText(buffer.data(), buffer.size()));
  EXPECT_EQ('\0', buffer[0]);
  EXPECT_FALSE(fillTermsText(buffer.data(), 0));
}
