#include <windows.h>

#include "app/log_lock.h"

namespace {

// Initialised during static initialisation, ahead of every other static
// object (which may log while it is built) and so long before WinMain starts
// any thread. Never deleted: a worker may still log while the process ends.
struct LogSection {
  CRITICAL_SECTION section;
  LogSection() { InitializeCriticalSection(&section); }
};
LogSection g_logSection __attribute__((init_priority(101)));

}  // namespace

void lockLog() {
  EnterCriticalSection(&g_logSection.section);
}

void unlockLog() {
  LeaveCriticalSection(&g_logSection.section);
}
