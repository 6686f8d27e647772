#include "ui/window_rules.h"

#include <cstring>

#include "app/bounded_text.h"

namespace {

// The states whose window is the large form.
bool isLargeState(int state) {
  return state == PS_INSTALLATION || state == PS_FLASH_INSTALLATION || state == PS_UPDATE;
}

}  // namespace

DiscoveryOutcome decideDiscovery(const DiscoveryFacts& facts) {
  DiscoveryOutcome out = {PS_DISCOVERY, facts.phase, CWD_KEEP, {nullptr, nullptr}};
  if (facts.uninstallRequested) {
    out.state = PS_UNINSTALLATION;
    out.phase = SP_NOT_NEEDED;
    out.log[0] = "WndProc: process state = uninstallation";
    return out;
  }
  if (!facts.cwdRecorded) {
    out.state = PS_INSTALLATION;
    out.phase = SP_NOT_NEEDED;
    out.cwd = CWD_EMPTY;
    out.log[0] = "WndProc: process state = installation";
  } else if (!facts.cwdEntered) {
    // The recorded folder is gone: install again. The phase stays waiting.
    out.state = PS_INSTALLATION;
    out.cwd = CWD_EMPTY;
    out.log[0] = "WndProc: process state = installation";
  } else {
    out.state = PS_UPDATE;
    out.cwd = CWD_SET_FROM_REGISTRY;
    out.log[0] = "WndProc: process state = update";
  }
  if (!facts.reportPrepared && facts.unreportedCrashFiles) {
    out.state = PS_BUG_REPORT;
    out.phase = SP_WAITING;
    return out;
  }
  if (out.state == PS_UPDATE && facts.flashPasses && !facts.flashPasses()) {
    out.state = PS_FLASH_INSTALLATION;
    out.cwd = CWD_EMPTY;
    out.log[1] = "WndProc: process state = flash installation";
  }
  return out;
}

StateTimerStep stateTimerStep(int state, int phase) {
  if (state == PS_UNINSTALLATION)
    return TIMER_POST_BEGIN_UNINSTALL;
  if (state == PS_INSTALLATION)
    return TIMER_POST_SHOW_TERMS;
  return phase == SP_WAITING ? TIMER_POST_REQUEST_PRODUCT : TIMER_LEAVE_ARMED;
}

CloseAction closeAction(int state) {
  switch (state) {
    case PS_EXECUTION:
      return CLOSE_LAUNCH;
    case PS_UPDATE:
      return CLOSE_RESTART_DISCOVERY;
    case PS_SELF_UPDATE:
    case PS_SHUTDOWN:
      return CLOSE_DESTROY;
    case PS_UNINSTALLATION:
      return CLOSE_HAND_OFF_UNINSTALL;
    default:
      return CLOSE_IGNORE;
  }
}

int closeStatusString(int state) {
  switch (state) {
    case PS_UPDATE:
      return 112;  // "Downloading updates.  Please be patient."
    case PS_EXECUTION:
      return 115;  // "Executing Client."
    case PS_SHUTDOWN:
      return 116;  // "Shutting down..."
    case PS_SELF_UPDATE:
      return 117;  // "Shutting down and restarting"
    default:
      return 0;
  }
}

bool closeShowsWindow(int state) {
  return state == PS_UPDATE || state == PS_SELF_UPDATE;
}

int formHeightForState(int state) {
  return isLargeState(state) ? kLargeFormHeight : kSmallFormHeight;
}

bool refusesHeight(int state, int proposedHeight) {
  return proposedHeight != formHeightForState(state);
}

FormSize layoutForm(int state, int phase) {
  return isLargeState(state) || phase == SP_MAINTENANCE ? FORM_LARGE : FORM_SMALL;
}

MiddleContent middleContent(int state, int phase) {
  if (layoutForm(state, phase) == FORM_SMALL)
    return MIDDLE_NONE;
  if (state == PS_INSTALLATION)
    return MIDDLE_TERMS;
  if (state == PS_FLASH_INSTALLATION)
    return MIDDLE_FLASH_PAGE;
  if (phase == SP_MAINTENANCE)
    return MIDDLE_MAINTENANCE_PAGE;
  return MIDDLE_UPDATE_PAGE;
}

bool cancelButtonShown(int state) {
  return state != PS_UNINSTALLATION;
}

bool hasFolderChooser(int state) {
  return state == PS_CHOOSE_DIRECTORY;
}

bool commandAllowed(int state, int commandId) {
  switch (commandId) {
    case 203:  // IDC_ACCEPT_TERMS
      return state == PS_INSTALLATION;
    case 204:  // IDC_ACCEPT_DIRECTORY
    case 205:  // IDC_BROWSE
      return state == PS_CHOOSE_DIRECTORY;
    default:
      return true;
  }
}

PaintPlan paintPlan(int state, int phase) {
  PaintPlan plan = {};
  // Before product info arrives an update is painted like the small form,
  // whatever height the window has.
  plan.largePanels =
      state == PS_INSTALLATION ||
      ((state == PS_FLASH_INSTALLATION || state == PS_UPDATE) && phase != SP_WAITING);
  plan.bottomPanelTop = plan.largePanels ? kTopPanelHeight + kMiddlePanelHeight : kTopPanelHeight;
  plan.statusLeft = 11;
  plan.statusTop = plan.largePanels ? 286 : 100;
  plan.statusShowsWaiting = phase == SP_WAITING && state != PS_INSTALLATION &&
                            state != PS_CHOOSE_DIRECTORY && state != PS_BUG_REPORT;
  if (phase == SP_CONNECTED && (state == PS_UPDATE || state == PS_SELF_UPDATE)) {
    plan.percentShown = true;
    plan.percentLeft = 380;
    plan.percentTop = state == PS_UPDATE ? 286 : 100;
  }
  plan.fileLineShown = (state == PS_UPDATE && phase == SP_CONNECTED) || phase == SP_MAINTENANCE;
  plan.fileLineLeft = 11;
  plan.fileLineTop = 322;
  return plan;
}

bool progressArea(int kind,
                  int state,
                  int clientRight,
                  int clientBottom,
                  AreaRect* area,
                  bool* erase) {
  bool lower = isLargeState(state);
  *erase = false;
  switch (kind) {
    case 0:
      *area = {11, lower ? 322 : 136, clientRight, lower ? 342 : 156};
      return true;
    case 1:
      *area = {380, lower ? 286 : 100, 405, lower ? 301 : 115};
      return true;
    case 2:
      *area = {11, lower ? 286 : 100, clientRight, lower ? 306 : 120};
      return true;
    case 3:
      *area = {0, 0, clientRight, clientBottom};
      *erase = true;
      return true;
    default:
      return false;
  }
}

bool installFolderFor(const char* picked, char* out, size_t outSize) {
  size_t length = strlen(picked);
  bool driveRoot = length > 0 && picked[length - 1] == '\\';
  return formatText(out, outSize, "%s%s", picked, driveRoot ? "Quenzar" : "\\Quenzar");
}
