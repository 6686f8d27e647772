#include <mutex>

#include "app/log_lock.h"

namespace {

std::mutex g_logMutex;

}  // namespace

void lockLog() {
  g_logMutex.lock();
}

void unlockLog() {
  g_logMutex.unlock();
}
