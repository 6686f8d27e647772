#include "ui/window_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const int kAllStates[] = {
    PS_NONE,           PS_DISCOVERY,          PS_BUG_REPORT, PS_INSTALLATION, PS_CHOOSE_DIRECTORY,
    PS_UNINSTALLATION, PS_FLASH_INSTALLATION, PS_UPDATE,     PS_EXECUTION,    PS_SHUTDOWN,
    PS_SELF_UPDATE};
const int kAllPhases[] = {SP_WAITING, SP_NOT_NEEDED, SP_CONNECTED, SP_MAINTENANCE};

int g_flashChecks;
bool flashMissing() {
  ++g_flashChecks;
  return false;
}
bool flashPresent() {
  ++g_flashChecks;
  return true;
}

struct DiscoveryCase {
  const char* name;
  bool uninstall, recorded, entered, prepared, crashFiles, flashOk;
  int expectState, expectPhase;
  CwdAction expectCwd;
  int expectFlashChecks;
  const char* expectLog0;
  const char* expectLog1;
};

}  // namespace

TEST(WindowRules, DiscoveryPicksTheStateFromItsInputs) {
  const char* kInstall = "WndProc: process state = installation";
  const char* kUpdate = "WndProc: process state = update";
  const DiscoveryCase cases[] = {
      // The uninstall request wins over everything and asks nothing else.
      {"uninstall", true, true, true, false, true, false, PS_UNINSTALLATION, SP_NOT_NEEDED,
       CWD_KEEP, 0, "WndProc: process state = uninstallation", nullptr},
      {"no CWD", false, false, false, false, false, true, PS_INSTALLATION, SP_NOT_NEEDED, CWD_EMPTY,
       0, kInstall, nullptr},
      // A folder that no longer exists installs again; the phase stays waiting.
      {"CWD gone", false, true, false, false, false, true, PS_INSTALLATION, SP_WAITING, CWD_EMPTY,
       0, kInstall, nullptr},
      {"CWD entered", false, true, true, false, false, true, PS_UPDATE, SP_WAITING,
       CWD_SET_FROM_REGISTRY, 1, kUpdate, nullptr},
      {"flash missing", false, true, true, false, false, false, PS_FLASH_INSTALLATION, SP_WAITING,
       CWD_EMPTY, 1, kUpdate, "WndProc: process state = flash installation"},
      // Unreported crash files come before Flash, in both folder cases.
      {"crash files, update", false, true, true, false, true, false, PS_BUG_REPORT, SP_WAITING,
       CWD_SET_FROM_REGISTRY, 0, kUpdate, nullptr},
      {"crash files, install", false, false, false, false, true, true, PS_BUG_REPORT, SP_WAITING,
       CWD_EMPTY, 0, kInstall, nullptr},
      // A report prepared in this run is not asked for again.
      {"report prepared", false, true, true, true, true, true, PS_UPDATE, SP_WAITING,
       CWD_SET_FROM_REGISTRY, 1, kUpdate, nullptr},
  };
  for (const DiscoveryCase& c : cases) {
    SCOPED_TRACE(c.name);
    g_flashChecks = 0;
    DiscoveryFacts facts = {c.uninstall,
                            c.recorded,
                            c.entered,
                            c.prepared,
                            c.crashFiles,
                            SP_WAITING,
                            c.flashOk ? flashPresent : flashMissing};
    DiscoveryOutcome out = decideDiscovery(facts);
    EXPECT_EQ(c.expectState, out.state);
    EXPECT_EQ(c.expectPhase, out.phase);
    EXPECT_EQ(c.expectCwd, out.cwd);
    EXPECT_EQ(c.expectFlashChecks, g_flashChecks);
    EXPECT_STREQ(c.expectLog0, out.log[0]);
    EXPECT_STREQ(c.expectLog1, out.log[1]);
  }
}

TEST(WindowRules, StateTimerStepsAndTicksThatChangeNothing) {
  for (int phase : kAllPhases) {
    EXPECT_EQ(TIMER_POST_BEGIN_UNINSTALL, stateTimerStep(PS_UNINSTALLATION, phase));
    EXPECT_EQ(TIMER_POST_SHOW_TERMS, stateTimerStep(PS_INSTALLATION, phase));
    for (int state : {PS_UPDATE, PS_FLASH_INSTALLATION, PS_BUG_REPORT}) {
      EXPECT_EQ(phase == SP_WAITING ? TIMER_POST_REQUEST_PRODUCT : TIMER_LEAVE_ARMED,
                stateTimerStep(state, phase))
          << state << "/" << phase;
    }
  }
}

TEST(WindowRules, CloseActsByState) {
  struct {
    int state;
    CloseAction action;
    int status;
    bool shows;
  } const cases[] = {
      {PS_NONE, CLOSE_IGNORE, 0, false},
      {PS_DISCOVERY, CLOSE_IGNORE, 0, false},
      {PS_BUG_REPORT, CLOSE_IGNORE, 0, false},
      {PS_INSTALLATION, CLOSE_IGNORE, 0, false},
      {PS_CHOOSE_DIRECTORY, CLOSE_IGNORE, 0, false},
      {PS_UNINSTALLATION, CLOSE_HAND_OFF_UNINSTALL, 0, false},
      {PS_FLASH_INSTALLATION, CLOSE_IGNORE, 0, false},
      {PS_UPDATE, CLOSE_RESTART_DISCOVERY, 112, true},
      {PS_EXECUTION, CLOSE_LAUNCH, 115, false},
      {PS_SHUTDOWN, CLOSE_DESTROY, 116, false},
      {PS_SELF_UPDATE, CLOSE_DESTROY, 117, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.action, closeAction(c.state)) << c.state;
    EXPECT_EQ(c.status, closeStatusString(c.state)) << c.state;
    EXPECT_EQ(c.shows, closeShowsWindow(c.state)) << c.state;
  }
}

TEST(WindowRules, HeightRuleKeepsTheFormOfTheState) {
  for (int state : kAllStates) {
    bool large = state == PS_INSTALLATION || state == PS_FLASH_INSTALLATION || state == PS_UPDATE;
    int kept = large ? 345 : 159;
    EXPECT_EQ(kept, formHeightForState(state));
    EXPECT_FALSE(refusesHeight(state, kept)) << state;
    for (int other : {0, 158, 160, 200, 344, 346}) {
      EXPECT_TRUE(refusesHeight(state, other)) << state << " " << other;
    }
    EXPECT_TRUE(refusesHeight(state, large ? 159 : 345)) << state;
  }
}

TEST(WindowRules, FormAndMiddleContent) {
  struct {
    int state, phase;
    FormSize form;
    MiddleContent middle;
  } const cases[] = {
      {PS_NONE, SP_WAITING, FORM_SMALL, MIDDLE_NONE},
      {PS_INSTALLATION, SP_NOT_NEEDED, FORM_LARGE, MIDDLE_TERMS},
      {PS_INSTALLATION, SP_WAITING, FORM_LARGE, MIDDLE_TERMS},
      {PS_CHOOSE_DIRECTORY, SP_NOT_NEEDED, FORM_SMALL, MIDDLE_NONE},
      {PS_FLASH_INSTALLATION, SP_CONNECTED, FORM_LARGE, MIDDLE_FLASH_PAGE},
      // Flash before maintenance, maintenance before the update page.
      {PS_FLASH_INSTALLATION, SP_MAINTENANCE, FORM_LARGE, MIDDLE_FLASH_PAGE},
      {PS_UPDATE, SP_MAINTENANCE, FORM_LARGE, MIDDLE_MAINTENANCE_PAGE},
      {PS_UPDATE, SP_CONNECTED, FORM_LARGE, MIDDLE_UPDATE_PAGE},
      {PS_SELF_UPDATE, SP_CONNECTED, FORM_SMALL, MIDDLE_NONE},
      {PS_SELF_UPDATE, SP_MAINTENANCE, FORM_LARGE, MIDDLE_MAINTENANCE_PAGE},
      {PS_UNINSTALLATION, SP_NOT_NEEDED, FORM_SMALL, MIDDLE_NONE},
      {PS_BUG_REPORT, SP_WAITING, FORM_SMALL, MIDDLE_NONE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.form, layoutForm(c.state, c.phase)) << c.state << "/" << c.phase;
    EXPECT_EQ(c.middle, middleContent(c.state, c.phase)) << c.state << "/" << c.phase;
  }
  EXPECT_FALSE(cancelButtonShown(PS_UNINSTALLATION));
  EXPECT_TRUE(cancelButtonShown(PS_CHOOSE_DIRECTORY));
  EXPECT_TRUE(hasFolderChooser(PS_CHOOSE_DIRECTORY));
  EXPECT_FALSE(hasFolderChooser(PS_INSTALLATION));
}

TEST(WindowRules, ScreenCommandsOnlyOnTheirScreens) {
  for (int state : kAllStates) {
    EXPECT_EQ(state == PS_INSTALLATION, commandAllowed(state, 203)) << state;
    EXPECT_EQ(state == PS_CHOOSE_DIRECTORY, commandAllowed(state, 204)) << state;
    EXPECT_EQ(state == PS_CHOOSE_DIRECTORY, commandAllowed(state, 205)) << state;
    for (int always : {104, 200, 201, 202, 206})
      EXPECT_TRUE(commandAllowed(state, always)) << state << " " << always;
  }
}

TEST(WindowRules, WhatIsPaintedWhere) {
  // Terms: large panels, status at the bottom; the waiting text never shows.
  PaintPlan terms = paintPlan(PS_INSTALLATION, SP_WAITING);
  EXPECT_TRUE(terms.largePanels);
  EXPECT_EQ(278, terms.bottomPanelTop);
  EXPECT_EQ(286, terms.statusTop);
  EXPECT_FALSE(terms.statusShowsWaiting);
  EXPECT_FALSE(terms.percentShown);
  EXPECT_FALSE(terms.fileLineShown);

  // An update waiting for product info: painted small, waiting text.
  PaintPlan waiting = paintPlan(PS_UPDATE, SP_WAITING);
  EXPECT_FALSE(waiting.largePanels);
  EXPECT_EQ(92, waiting.bottomPanelTop);
  EXPECT_EQ(100, waiting.statusTop);
  EXPECT_TRUE(waiting.statusShowsWaiting);
  EXPECT_FALSE(waiting.percentShown);

  // Once connected: large, status text, percent at 380/286, file line.
  PaintPlan connected = paintPlan(PS_UPDATE, SP_CONNECTED);
  EXPECT_TRUE(connected.largePanels);
  EXPECT_FALSE(connected.statusShowsWaiting);
  EXPECT_TRUE(connected.percentShown);
  EXPECT_EQ(380, connected.percentLeft);
  EXPECT_EQ(286, connected.percentTop);
  EXPECT_TRUE(connected.fileLineShown);
  EXPECT_EQ(322, connected.fileLineTop);

  PaintPlan self = paintPlan(PS_SELF_UPDATE, SP_CONNECTED);
  EXPECT_FALSE(self.largePanels);
  EXPECT_TRUE(self.percentShown);
  EXPECT_EQ(100, self.percentTop);
  EXPECT_FALSE(self.fileLineShown);

  // The maintenance notice shows the file line in any state.
  EXPECT_TRUE(paintPlan(PS_UPDATE, SP_MAINTENANCE).fileLineShown);
  EXPECT_FALSE(paintPlan(PS_UPDATE, SP_MAINTENANCE).percentShown);

  // The waiting text replaces the status in every waiting state but three.
  for (int state : kAllStates) {
    bool exempt =
        state == PS_INSTALLATION || state == PS_CHOOSE_DIRECTORY || state == PS_BUG_REPORT;
    EXPECT_EQ(!exempt, paintPlan(state, SP_WAITING).statusShowsWaiting) << state;
    EXPECT_FALSE(paintPlan(state, SP_NOT_NEEDED).statusShowsWaiting) << state;
    EXPECT_EQ(11, paintPlan(state, SP_WAITING).statusLeft);
    if (state != PS_UPDATE && state != PS_SELF_UPDATE) {
      EXPECT_FALSE(paintPlan(state, SP_CONNECTED).percentShown) << state;
    }
  }
  // Flash installation paints small until product info arrives.
  EXPECT_FALSE(paintPlan(PS_FLASH_INSTALLATION, SP_WAITING).largePanels);
  EXPECT_TRUE(paintPlan(PS_FLASH_INSTALLATION, SP_CONNECTED).largePanels);
}

TEST(WindowRules, ProgressAreasUpperAndLower) {
  AreaRect area;
  bool erase = true;
  ASSERT_TRUE(progressArea(0, PS_UPDATE, 420, 345, &area, &erase));
  EXPECT_EQ(11, area.left);
  EXPECT_EQ(322, area.top);
  EXPECT_EQ(420, area.right);
  EXPECT_EQ(342, area.bottom);
  EXPECT_FALSE(erase);
  ASSERT_TRUE(progressArea(1, PS_SELF_UPDATE, 420, 159, &area, &erase));
  EXPECT_EQ(380, area.left);
  EXPECT_EQ(100, area.top);
  EXPECT_EQ(405, area.right);
  EXPECT_EQ(115, area.bottom);
  ASSERT_TRUE(progressArea(2, PS_INSTALLATION, 420, 345, &area, &erase));
  EXPECT_EQ(286, area.top);
  EXPECT_EQ(306, area.bottom);
  ASSERT_TRUE(progressArea(2, PS_UNINSTALLATION, 420, 159, &area, &erase));
  EXPECT_EQ(100, area.top);
  ASSERT_TRUE(progressArea(3, PS_CHOOSE_DIRECTORY, 420, 159, &area, &erase));
  EXPECT_TRUE(erase);
  EXPECT_EQ(159, area.bottom);
  EXPECT_FALSE(progressArea(4, PS_UPDATE, 420, 345, &area, &erase));
  EXPECT_FALSE(progressArea(-1, PS_UPDATE, 420, 345, &area, &erase));
}

TEST(WindowRules, InstallFolderForAPickedFolder) {
  char out[16];
  ASSERT_TRUE(installFolderFor("C:\\", out, sizeof out));
  EXPECT_STREQ("C:\\Quenzar", out);  // no doubled backslash at a drive root
  ASSERT_TRUE(installFolderFor("D:\\G", out, sizeof out));
  EXPECT_STREQ("D:\\G\\Quenzar", out);
  // Exact fit: 15 characters and the terminator; one more is refused whole.
  ASSERT_TRUE(installFolderFor("D:\\Game", out, sizeof out));
  EXPECT_STREQ("D:\\Game\\Quenzar", out);
  EXPECT_FALSE(installFolderFor("D:\\Gamez", out, sizeof out));
  EXPECT_STREQ("", out);
  ASSERT_TRUE(installFolderFor("E:\\abc\\", out, sizeof out));
  EXPECT_STREQ("E:\\abc\\Quenzar", out);
}
