#include "app/log.h"

#include <cstdio>
#include <cstring>

#include "app/log_lock.h"

namespace {

char g_szLogBuffer[kLogBufferSize];
size_t g_nLogLength = 0;  // bytes of text before the terminator

const char* prefixOf(int level) {
  switch (level) {
    case LOG_INFO:
      return "INFO: ";
    case LOG_WARNING:
      return "WARNING: ";
    case LOG_FAIL:
      return "FAIL: ";
    default:
      return "";
  }
}

}  // namespace

size_t formatLogLine(char* out, size_t outSize, int level, const char* format, va_list args) {
  if (outSize < 2) {
    if (outSize)
      out[0] = '\0';
    return 0;
  }
  const char* prefix = prefixOf(level);
  size_t used = strlen(prefix);
  if (used > outSize - 2)
    used = outSize - 2;
  memcpy(out, prefix, used);
  // Room for the text, the line feed and the terminator.
  size_t room = outSize - used - 1;
  int n = vsnprintf(out + used, room, format, args);
  if (n < 0)
    n = 0;
  size_t textLength = static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room - 1;
  used += textLength;
  out[used++] = '\n';
  out[used] = '\0';
  return used;
}

void logMessage(int level, const char* format, ...) {
  char line[kLogLineSize];
  va_list args;
  va_start(args, format);
  size_t length = formatLogLine(line, sizeof line, level, format, args);
  va_end(args);

  LogLockHold hold;
  if (length >= kLogBufferSize - g_nLogLength)
    return;  // full: drop the line rather than keep half of it
  memcpy(g_szLogBuffer + g_nLogLength, line, length + 1);
  g_nLogLength += length;
}

void clearLog() {
  LogLockHold hold;
  memset(g_szLogBuffer, 0, sizeof g_szLogBuffer);
  g_nLogLength = 0;
}

const char* logText() {
  return g_szLogBuffer;
}

size_t logLength() {
  return g_nLogLength;
}
