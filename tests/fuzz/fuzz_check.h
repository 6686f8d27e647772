// A broken promise of the code under fuzzing ends the run as a crash.
#pragma once

#include <cstdlib>
#include <cstring>

inline void require(bool condition) {
  if (!condition)
    abort();
}

inline bool terminated(const char* buffer, size_t size) {
  return memchr(buffer, '\0', size) != nullptr;
}
