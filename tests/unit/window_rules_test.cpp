#include "ui/window_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

static int g_flashChecks;
static bool g_flashOk;
static bool flashCheck() {
  return ++g_flashChecks, g_flashOk;
}

TEST(WindowRules, DiscoveryPicksTheStateFromItsInputs) {
  const char* kInstall = "WndProc: process state = installation";
  const char* kUpdate = "WndProc: process state = update";
  const std::tuple<const char*, bool, bool, bool, bool, bool, bool, int, int, CwdAction, int,
                   const char*, const char*>
      cases[] = {
          // The uninstall request wins over everything and asks nothing else.
          {"uninstall", true, true, true, false, true, false, PS_UNINSTALLATION, SP_NOT_NEEDED,
           CWD_KEEP, 0, "WndProc: process state = uninstallation", nullptr},
          {"no CWD", false, false, false, false, false, true, PS_INSTALLATION, SP_NOT_NEEDED,
           CWD_EMPTY, 0, kInstall, nullptr},
          // A folder that no longer exists installs again; the phase stays waiting.
          {"CWD gone", false, true, false, false, false, true, PS_INSTALLATION, SP_WAITING,
           CWD_EMPTY, 0, kInstall, nullptr},
          {"CWD entered", false, true, true, false, false, true, PS_UPDATE, SP_WAITING,
           CWD_SET_FROM_REGISTRY, 1, kUpdate, nullptr},
          {"flash missing", false, true, true, false, false, false, PS_FLASH_INSTALLATION,
           SP_WAITING, CWD_EMPTY, 1, kUpdate, "WndProc: process state = flash installation"},
          // Unreported crash files come before Flash, in both folder cases.
          {"crash files, update", false, true, true, false, true, false, PS_BUG_REPORT, SP_WAITING,
           CWD_SET_FROM_REGISTRY, 0, kUpdate, nullptr},
          {"crash files, install", false, false, false, false, true, true, PS_BUG_REPORT,
           SP_WAITING, CWD_EMPTY, 0, kInstall, nullptr},
          // A report prepared in this run is not asked for again.
          {"report prepared", false, true, true, true, true, true, PS_UPDATE, SP_WAITING,
           CWD_SET_FROM_REGISTRY, 1, kUpdate, nullptr},
      };
  for (const auto& [name, uninstall, recorded, entered, prepared, crash, flashOk, state, phase, cwd,
                    flashChecks, log0, log1] : cases) {
    SCOPED_TRACE(name);
    g_flashChecks = 0;
    g_flashOk = flashOk;
    DiscoveryFacts f = {uninstall, recorded, entered, prepared, crash, SP_WAITING, flashCheck};
    DiscoveryOutcome out = decideDiscovery(f);
    EXPECT_EQ(state, out.state);
    EXPECT_EQ(phase, out.phase);
    EXPECT_EQ(cwd, out.cwd);
    EXPECT_EQ(flashChecks, g_flashChecks);
    EXPECT_STREQ(log0, out.log[0]);
    EXPECT_STREQ(log1, out.log[1]);
  }
}

TEST(WindowRules, TimerCloseHeightAndCommandsByState) {
  EXPECT_EQ(TIMER_POST_BEGIN_UNINSTALL, stateTimerStep(PS_UNINSTALLATION, SP_CONNECTED));
  EXPECT_EQ(TIMER_POST_SHOW_TERMS, stateTimerStep(PS_INSTALLATION, SP_CONNECTED));
  EXPECT_EQ(TIMER_POST_REQUEST_PRODUCT, stateTimerStep(PS_UPDATE, SP_WAITING));
  EXPECT_EQ(TIMER_LEAVE_ARMED, stateTimerStep(PS_FLASH_INSTALLATION, SP_CONNECTED));
  // A close is ignored in every state not listed here.
  const std::tuple<int, CloseAction, int, bool> closes[] = {
      {PS_CHOOSE_DIRECTORY, CLOSE_IGNORE, 0, false},
      {PS_UNINSTALLATION, CLOSE_HAND_OFF_UNINSTALL, 0, false},
      {PS_UPDATE, CLOSE_RESTART_DISCOVERY, 112, true},
      {PS_EXECUTION, CLOSE_LAUNCH, 115, false},
      {PS_SHUTDOWN, CLOSE_DESTROY, 116, false},
      {PS_SELF_UPDATE, CLOSE_DESTROY, 117, true},
  };
  for (const auto& [state, action, status, shows] : closes) {
    EXPECT_EQ(action, closeAction(state)) << state;
    EXPECT_EQ(status, closeStatusString(state)) << state;
    EXPECT_EQ(shows, closeShowsWindow(state)) << state;
  }
  for (int state = PS_NONE; state <= PS_SELF_UPDATE; ++state) {  // and the numbers between
    bool large = state == PS_INSTALLATION || state == PS_FLASH_INSTALLATION || state == PS_UPDATE;
    int kept = large ? 345 : 159;
    EXPECT_EQ(kept, formHeightForState(state));
    for (int other : {kept - 1, kept + 1, large ? 159 : 345})
      EXPECT_TRUE(refusesHeight(state, other)) << state << " " << other;
    // A stray screen command from outside must not act on another screen.
    EXPECT_EQ(state == PS_INSTALLATION, commandAllowed(state, 203)) << state;
    EXPECT_EQ(state == PS_CHOOSE_DIRECTORY, commandAllowed(state, 204)) << state;
    EXPECT_EQ(state == PS_CHOOSE_DIRECTORY, commandAllowed(state, 205)) << state;
    EXPECT_TRUE(commandAllowed(state, 206)) << state;
  }
  EXPECT_FALSE(refusesHeight(PS_UPDATE, 345));
  EXPECT_FALSE(cancelButtonShown(PS_UNINSTALLATION));
  EXPECT_TRUE(hasFolderChooser(PS_CHOOSE_DIRECTORY));
}

// Form, middle content, panels, bottom panel and status line tops, what else shows.
static std::string painted(int state, int phase) {
  PaintPlan p = paintPlan(state, phase);
  std::string s =
      std::to_string(layoutForm(state, phase)) + std::to_string(middleContent(state, phase));
  s += p.largePanels ? " large " : " small ";
  s += std::to_string(p.bottomPanelTop) + " " + std::to_string(p.statusTop);
  if (p.statusShowsWaiting)
    s += " waiting";
  if (p.percentShown)
    s += " percent " + std::to_string(p.percentLeft) + "," + std::to_string(p.percentTop);
  if (p.fileLineShown)
    s += " file " + std::to_string(p.fileLineTop);
  return s;
}

TEST(WindowRules, WhatIsPaintedWhere) {
  // Form (0 small, 1 large), middle (0 none, 1 terms, 2 Flash, 3 update, 4 maintenance).
  const std::tuple<int, int, const char*> cases[] = {
      // Terms: large panels, the waiting text never shows.
      {PS_INSTALLATION, SP_WAITING, "11 large 278 286"},
      // An update waiting for product info is painted small, with the waiting text.
      {PS_UPDATE, SP_WAITING, "13 small 92 100 waiting"},
      {PS_UPDATE, SP_CONNECTED, "13 large 278 286 percent 380,286 file 322"},
      // Flash before maintenance, maintenance before the update page.
      {PS_FLASH_INSTALLATION, SP_MAINTENANCE, "12 large 278 286 file 322"},
      {PS_UPDATE, SP_MAINTENANCE, "14 large 278 286 file 322"},
      {PS_SELF_UPDATE, SP_CONNECTED, "00 small 92 100 percent 380,100"},
      // The maintenance notice shows the file line in any state.
      {PS_SELF_UPDATE, SP_MAINTENANCE, "14 small 92 100 file 322"},
      {PS_CHOOSE_DIRECTORY, SP_WAITING, "00 small 92 100"},
      {PS_SHUTDOWN, SP_WAITING, "00 small 92 100 waiting"},
      {PS_SHUTDOWN, SP_NOT_NEEDED, "00 small 92 100"},
  };
  for (const auto& [state, phase, plan] : cases)
    EXPECT_EQ(painted(state, phase), plan) << state << "/" << phase;
  // What a repaint while work runs covers (file line, percent, status line,
  // the whole window with its background) in the large and the small form.
  const std::tuple<int, int, int, AreaRect> areas[] = {
      {0, PS_UPDATE, 345, {11, 322, 420, 342}},
      {1, PS_SELF_UPDATE, 159, {380, 100, 405, 115}},
      {2, PS_INSTALLATION, 345, {11, 286, 420, 306}},
      {3, PS_CHOOSE_DIRECTORY, 159, {0, 0, 420, 159}},
  };
  for (const auto& [kind, state, bottom, area] : areas) {
    AreaRect a;
    bool erase = kind != 3;
    ASSERT_TRUE(progressArea(kind, state, 420, bottom, &a, &erase)) << kind;
    EXPECT_EQ(std::make_tuple(area.left, area.top, area.right, area.bottom),
              std::make_tuple(a.left, a.top, a.right, a.bottom))
        << kind;
    EXPECT_EQ(kind == 3, erase) << kind;
  }
  AreaRect a;
  bool erase;
  EXPECT_FALSE(progressArea(4, PS_UPDATE, 420, 345, &a, &erase));
}

TEST(WindowRules, InstallFolderForAPickedFolder) {
  char out[16];
  ASSERT_TRUE(installFolderFor("C:\\", out, sizeof out));
  EXPECT_STREQ("C:\\Quenzar", out);  // no doubled backslash at a drive root
  // Exact fit: 15 characters and the terminator; one more is refused whole.
  ASSERT_TRUE(installFolderFor("D:\\Game", out, sizeof out));
  EXPECT_STREQ("D:\\Game\\Quenzar", out);
  EXPECT_FALSE(installFolderFor("D:\\Gamez", out, sizeof out));
  EXPECT_STREQ("", out);
}
