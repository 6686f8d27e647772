// The two numbers that say where a run stands. Portable: the decisions that
// depend only on them (window_rules.h) build and are tested on the host too.
#pragma once

enum ProcessState {
  PS_NONE = 0,
  PS_DISCOVERY = 2,
  PS_BUG_REPORT = 3,
  PS_INSTALLATION = 4,
  PS_CHOOSE_DIRECTORY = 5,
  PS_UNINSTALLATION = 7,
  PS_FLASH_INSTALLATION = 8,
  PS_UPDATE = 9,
  PS_EXECUTION = 10,
  PS_SHUTDOWN = 11,
  PS_SELF_UPDATE = 12,
};

enum ServerPhase {
  SP_WAITING = 0,
  SP_NOT_NEEDED = 2,
  SP_CONNECTED = 3,
  SP_MAINTENANCE = 5,
};
