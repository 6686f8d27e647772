#include "ui/window_rules.h"

#include <gtest/gtest.h>

#include "ui/flash_version.h"
#include "ui/terms_text.h"

static int g_flashChecks;
static bool g_flashOk;
static bool flashCheck() {
  return ++g_flashChecks, g_flashOk;
}

TEST(WindowRules, DiscoveryPicksTheStateFromItsInputs) {
  const char* kInstall = "WndProc: process state = installation";
  const char* kUpdate = "WndProc: process state = update";
  // Inputs: uninstall asked, CWD recorded, CWD entered, report prepared, crash files, Flash ok.
  const std::tuple<const char*, int, int, CwdAction, int, const char*, const char*> cases[] = {
      // The uninstall request wins over everything and asks nothing else.
      {"111010", PS_UNINSTALLATION, SP_NOT_NEEDED, CWD_KEEP, 0,
       "WndProc: process state = uninstallation", nullptr},
      {"000001", PS_INSTALLATION, SP_NOT_NEEDED, CWD_EMPTY, 0, kInstall, nullptr},
      // A folder that no longer exists installs again; the phase stays waiting.
      {"010001", PS_INSTALLATION, SP_WAITING, CWD_EMPTY, 0, kInstall, nullptr},
      {"011001", PS_UPDATE, SP_WAITING, CWD_SET_FROM_REGISTRY, 1, kUpdate, nullptr},
      {"011000", PS_FLASH_INSTALLATION, SP_WAITING, CWD_EMPTY, 1, kUpdate,
       "WndProc: process state = flash installation"},
      // Unreported crash files come before Flash, in both folder cases.
      {"011010", PS_BUG_REPORT, SP_WAITING, CWD_SET_FROM_REGISTRY, 0, kUpdate, nullptr},
      {"000011", PS_BUG_REPORT, SP_WAITING, CWD_EMPTY, 0, kInstall, nullptr},
      // A report prepared in this run is not asked for again.
      {"011111", PS_UPDATE, SP_WAITING, CWD_SET_FROM_REGISTRY, 1, kUpdate, nullptr},
  };
  for (const auto& [in, state, phase, cwd, flashChecks, log0, log1] : cases) {
    SCOPED_TRACE(in);
    g_flashChecks = 0;
    g_flashOk = in[5] == '1';
    DiscoveryFacts f = {in[0] == '1', in[1] == '1', in[2] == '1', in[3] == '1',
                        in[4] == '1', SP_WAITING,   flashCheck};
    DiscoveryOutcome out = decideDiscovery(f);
    EXPECT_EQ(std::make_tuple(state, phase, cwd, flashChecks),
              std::make_tuple(out.state, out.phase, out.cwd, g_flashChecks));
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
  s += p.statusShowsWaiting ? " waiting" : "";
  if (p.percentShown)
    s += " percent " + std::to_string(p.percentLeft) + "," + std::to_string(p.percentTop);
  s += p.fileLineShown ? " file " + std::to_string(p.fileLineTop) : "";
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
  // What a repaint covers: file line, percent, status line, the whole window.
  const std::tuple<int, int, int, AreaRect> areas[] = {
      {0, PS_UPDATE, 345, {11, 322, 420, 342}},
      {1, PS_SELF_UPDATE, 159, {380, 100, 405, 115}},
      {2, PS_INSTALLATION, 345, {11, 286, 420, 306}},
      {3, PS_CHOOSE_DIRECTORY, 159, {0, 0, 420, 159}},
  };
  AreaRect a;
  bool erase;
  for (const auto& [kind, state, bottom, area] : areas) {
    erase = kind != 3;
    ASSERT_TRUE(progressArea(kind, state, 420, bottom, &a, &erase)) << kind;
    EXPECT_EQ(std::make_tuple(area.left, area.top, area.right, area.bottom),
              std::make_tuple(a.left, a.top, a.right, a.bottom))
        << kind;
    EXPECT_EQ(kind == 3, erase) << kind;
  }
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

TEST(TermsText, ThreeSectionsPlainTextBuiltOnceAndCopiedWholeOrNotAtAll) {
  buildTermsText();
  const std::string text = g_szTermsText;
  EXPECT_GE(text.size(), 40000u);
  EXPECT_EQ(0u, text.find("TERMS AND CONDITIONS\n"));
  size_t privacy = text.find("\nPRIVACY POLICY\n");
  ASSERT_NE(std::string::npos, privacy);
  EXPECT_LT(privacy, text.find("\nCREDIT CARD USE POLICY\n"));
  const std::string last = "Please print this page and keep it for your records.\n";
  EXPECT_EQ(text.size() - last.size(), text.rfind(last));

  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << int(c) << " at " << i;
  }

  buildTermsText();  // a second build starts afresh
  EXPECT_EQ(text, g_szTermsText);
  std::vector<char> buffer(text.size() + 1, 'x');
  ASSERT_TRUE(fillTermsText(buffer.data(), buffer.size()));
  EXPECT_STREQ(g_szTermsText, buffer.data());

  buffer.assign(text.size(), 'x');
  EXPECT_FALSE(fillTermsText(buffer.data(), buffer.size()));
  EXPECT_EQ('\0', buffer[0]);
  EXPECT_FALSE(fillTermsText(buffer.data(), 0));
}

TEST(FlashVersion, MajorVersionIsTheHighHalfReadUnsigned) {
  EXPECT_FALSE(flashVersionSuffices(0x0007FFFFu));  // 7.65535
  EXPECT_TRUE(flashVersionSuffices(0x00080000u));   // 8.0
  EXPECT_TRUE(flashVersionSuffices(0x00090073u));
  EXPECT_TRUE(flashVersionSuffices(0xFFFF0000u));  // negative as a signed answer
  EXPECT_FALSE(flashVersionSuffices(0u));
}
