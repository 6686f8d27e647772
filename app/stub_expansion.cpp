#include "app/stub_expansion.h"

#include "app/log.h"

bool continueAfterExpansion(ExpandResult result) {
  if (result == EXPAND_FAILED)
    return false;
  if (result == EXPAND_DONE)
    logMessage(LOG_INFO, "WinMain: Stub has been expanded");
  return true;
}
