// What the expansion of the files carried in the executable's tail reported,
// and what WinMain makes of it.
#pragma once

enum ExpandResult {
  EXPAND_DONE,       // the tail was read; its files (if any) are written
  EXPAND_NOT_BUILT,  // nothing was read or written: no payload reader in this build
  EXPAND_FAILED,     // the executable could not be read: the client is corrupt
};

// Logs "WinMain: Stub has been expanded" only when expansion really ran.
// False when the run must end because the executable is damaged; a build
// without the payload reader still goes on with the start.
bool continueAfterExpansion(ExpandResult result);
