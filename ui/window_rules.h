// What the window does that depends only on the state and the phase: which
// state discovery picks, what a close does, which form and middle content a
// state has, and what is painted where. Portable; the Win32 side
// (window_proc_win.cpp and the handler files) carries these decisions out.
#pragma once

#include <cstddef>

#include "app/process_state.h"

// Window size in pixels: fixed width, and the heights of the two forms.
constexpr int kWindowWidth = 420;
constexpr int kSmallFormHeight = 159;  // top panel 92 + bottom panel 67
constexpr int kLargeFormHeight = 345;  // top 92 + middle 186 + bottom 67
constexpr int kTopPanelHeight = 92;
constexpr int kMiddlePanelHeight = 186;

// ---- discovery (timer IDT_STATE in PS_DISCOVERY)

struct DiscoveryFacts {
  bool uninstallRequested;    // run mode 1
  bool cwdRecorded;           // "CWD" holds a folder
  bool cwdEntered;            // SetCurrentDirectoryA to it succeeded
  bool reportPrepared;        // a bug report was built (or tried) in this run
  bool unreportedCrashFiles;  // crash files whose checksums no report recorded
  int phase;                  // the phase when the tick arrived
  // Asked only when the folder was entered and no bug report is due, so the
  // Flash control is not created on runs that do not need it.
  bool (*flashPasses)();
};

enum CwdAction { CWD_KEEP, CWD_EMPTY, CWD_SET_FROM_REGISTRY };

struct DiscoveryOutcome {
  int state;
  int phase;
  CwdAction cwd;
  // Log lines in order ("WndProc: process state = ..."); unused ones are null.
  const char* log[2];
};

DiscoveryOutcome decideDiscovery(const DiscoveryFacts& facts);

// What an IDT_STATE tick does once the state is settled.
enum StateTimerStep {
  TIMER_POST_BEGIN_UNINSTALL,  // kill the timer, post WM_BEGIN_UNINSTALL
  TIMER_POST_SHOW_TERMS,       // kill the timer, post WM_SHOW_TERMS
  TIMER_POST_REQUEST_PRODUCT,  // kill the timer, post WM_REQUEST_PRODUCT_INFO
  TIMER_LEAVE_ARMED,           // product info already here: ignore the tick
};

StateTimerStep stateTimerStep(int state, int phase);

// ---- WM_CLOSE

enum CloseAction {
  CLOSE_IGNORE,              // the window stays
  CLOSE_LAUNCH,              // start the client, then destroy the window
  CLOSE_RESTART_DISCOVERY,   // a close from outside during an update
  CLOSE_DESTROY,             // end the run
  CLOSE_HAND_OFF_UNINSTALL,  // start the uninstaller copy, then destroy
};

CloseAction closeAction(int state);
// String id the status takes on a close in this state; 0 keeps the text.
int closeStatusString(int state);
// Whether a close in this state shows the window (it may still be hidden).
bool closeShowsWindow(int state);

// ---- form and content

enum FormSize { FORM_SMALL, FORM_LARGE };
enum MiddleContent {
  MIDDLE_NONE,
  MIDDLE_TERMS,
  MIDDLE_FLASH_PAGE,
  MIDDLE_UPDATE_PAGE,
  MIDDLE_MAINTENANCE_PAGE,
};

// The height the window keeps in this state (WM_WINDOWPOSCHANGING): a size
// change to any other height is refused.
int formHeightForState(int state);
bool refusesHeight(int state, int proposedHeight);

FormSize layoutForm(int state, int phase);
MiddleContent middleContent(int state, int phase);
bool cancelButtonShown(int state);
// The folder chooser's buttons and edit exist only in PS_CHOOSE_DIRECTORY.
bool hasFolderChooser(int state);

// Whether a screen's own command is acted on in this state: Accept of the
// terms only on the terms screen, Accept and Browse of the folder chooser
// only there. A stray command from outside (the buttons exist only on their
// screens) must not move an installed client's folder or restart an install.
// Other commands are always acted on.
bool commandAllowed(int state, int commandId);

// ---- painting

struct PaintPlan {
  bool largePanels;    // top, middle and bottom panels (else top and bottom)
  int bottomPanelTop;  // y of the bottom panel: 92 or 278
  int statusLeft, statusTop;
  bool statusShowsWaiting;  // the waiting text instead of the status text
  bool percentShown;
  int percentLeft, percentTop;
  bool fileLineShown;
  int fileLineLeft, fileLineTop;
};

PaintPlan paintPlan(int state, int phase);

// ---- invalidation while work runs

struct AreaRect {
  int left, top, right, bottom;
};
// The area of invalidateProgressArea's kind (0 file line, 1 percent, 2 status
// line, 3 whole client area); clientRight/clientBottom are the client size.
// False for any other kind. *erase says whether the background is erased.
bool progressArea(int kind,
                  int state,
                  int clientRight,
                  int clientBottom,
                  AreaRect* area,
                  bool* erase);

// ---- folder chooser

// The install folder for a folder the user picked: a drive root ("C:\") gets
// "Quenzar" directly, any other folder "\Quenzar". False, with out empty,
// when the result does not fit in outSize bytes.
bool installFolderFor(const char* picked, char* out, size_t outSize);
