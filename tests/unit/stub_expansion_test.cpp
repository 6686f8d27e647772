#include "app/stub_expansion.h"

#include <gtest/gtest.h>

#include <string>

#include "app/log.h"

// The log must never claim an expansion that did not happen, and a build
// without the payload reader must still start.
TEST(StubExpansionTest, OnlyAnExpansionThatRanIsLogged) {
  struct {
    ExpandResult result;
    bool goesOn;
    bool logged;
  } cases[] = {
      {EXPAND_DONE, true, true},
      {EXPAND_NOT_BUILT, true, false},
      {EXPAND_FAILED, false, false},
  };
  for (const auto& c : cases) {
    clearLog();
    EXPECT_EQ(continueAfterExpansion(c.result), c.goesOn) << c.result;
    EXPECT_EQ(
        std::string(logText()).find("INFO: WinMain: Stub has been expanded\n") != std::string::npos,
        c.logged)
        << c.result;
  }
  clearLog();
}
