#include "app/stub_expansion.h"

#include <gtest/gtest.h>

#include <string>

#include "app/log.h"

// The log must never claim an expansion that did not happen.
TEST(StubExpansionTest, OnlyAnExpansionThatWentThroughIsLogged) {
  for (ExpandResult result : {EXPAND_DONE, EXPAND_FAILED}) {
    clearLog();
    EXPECT_EQ(continueAfterExpansion(result), result == EXPAND_DONE);
    EXPECT_EQ(
        std::string(logText()).find("INFO: WinMain: Stub has been expanded\n") != std::string::npos,
        result == EXPAND_DONE);
  }
  clearLog();
}

TEST(StubExpansionTest, StoredAffiliateWinsAndOnlyIdentifiersCount) {
  std::string longest(255, 'a');
  struct {
    const char* stored;
    const char* carried;  // null: no tail
    const char* use;
    bool record;
    bool logged;
  } cases[] = {
      {"", "tail-1", "tail-1", true, false},
      {"-1", "tail-1", "tail-1", true, false},
      {"-1", nullptr, "", false, false},
      {"stored_2", "tail-1", "stored_2", false, false},
      {longest.c_str(), "t", longest.c_str(), false, false},
      {"", "", "", false, false},  // a tail with no identifier
      {"", "bad id", "", false, true},
      {"-1", "x&session=y", "", false, true},
      {"a b", "tail-1", "tail-1", true, true},  // a stored value that is no identifier
  };
  for (const auto& c : cases) {
    std::string name = std::string(c.stored) + " / " + (c.carried ? c.carried : "(no tail)");
    clearLog();
    AffiliateChoice choice = chooseAffiliate(c.stored, c.carried);
    EXPECT_STREQ(choice.szUse, c.use) << name;
    EXPECT_EQ(choice.bRecord, c.record) << name;
    EXPECT_EQ(std::string(logText()).find("is not an identifier") != std::string::npos, c.logged)
        << name;
  }
  clearLog();
}
