// The one lock of the diagnostic log: serialises appends from the GUI thread
// and the worker threads. On Windows it is a critical section, so the program
// links no runtime thread layer (that layer imports functions that Windows 98,
// Me and NT 4.0 lack); the host build uses std::mutex.
//
// The crash filter never takes it: it reads the log without the lock, so a
// crash on a thread that holds the lock cannot hang the filter.
#pragma once

void lockLog();
void unlockLog();

// Holds the log lock for one scope.
class LogLockHold {
 public:
  LogLockHold() { lockLog(); }
  ~LogLockHold() { unlockLog(); }
  LogLockHold(const LogLockHold&) = delete;
  LogLockHold& operator=(const LogLockHold&) = delete;
};
