#include "report/crash_filter.h"

LONG WINAPI crashFilter(EXCEPTION_POINTERS*) {
  // Keeping the log of a crashed run for the next start's bug report is not
  // part of this build yet; the process still ends quietly.
  return EXCEPTION_EXECUTE_HANDLER;
}
