// The diagnostic log: one process-wide text buffer in memory. Lines are
// "INFO: ", "WARNING: " or "FAIL: " + text + "\n". Nothing is written to disk
// while the program runs; the crash filter is the only way the log leaves the
// process.
#pragma once

#include <cstdarg>
#include <cstddef>

enum LogLevel { LOG_INFO = 1, LOG_WARNING = 2, LOG_FAIL = 3 };

// Size of the log buffer in bytes, terminating zero included.
constexpr size_t kLogBufferSize = 128000;
// Size of the buffer one formatted line is built in.
constexpr size_t kLogLineSize = 20000;

// Formats one line and appends it. Safe to call from any thread. A line that
// does not fit in what is left of the buffer is dropped whole, so the log only
// ever holds complete lines and never runs past its end.
void logMessage(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Formats one line (prefix, text, line feed) into out (outSize bytes). A text
// too long for the line is cut, but the line still ends with its line feed.
// Returns the line's length in bytes.
size_t formatLogLine(char* out, size_t outSize, int level, const char* format, va_list args);

// Empties the log (start of WinMain).
void clearLog();

// The log text, zero-terminated. Read without the lock: the crash filter must
// not wait for a lock that the faulting thread may hold.
const char* logText();
size_t logLength();
