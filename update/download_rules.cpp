#include "update/download_rules.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "app/bounded_text.h"

namespace {

// Reads a decimal at *p (digits only); false when there is none or it does
// not fit 32 bits.
bool readNumber(const char** p, uint32_t* value) {
  const char* s = *p;
  if (*s < '0' || *s > '9')
    return false;
  uint64_t v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + static_cast<unsigned>(*s - '0');
    if (v > 0xFFFFFFFFu)
      return false;
  }
  *value = static_cast<uint32_t>(v);
  *p = s;
  return true;
}

}  // namespace

ResumeAnswer judgeResumeAnswer(const char* status,
                               const char* contentRange,
                               uint32_t received,
                               uint32_t expected) {
  if (equalsIgnoreCase(status, "200"))
    return RESUME_RESTART;
  if (!equalsIgnoreCase(status, "206"))
    return RESUME_BREAK;
  const char* p = contentRange;
  while (*p == ' ')
    ++p;
  if (strncmp(p, "bytes", 5) != 0)
    return RESUME_BREAK;
  p += 5;
  while (*p == ' ')
    ++p;
  uint32_t first = 0, last = 0;
  if (!readNumber(&p, &first) || *p++ != '-' || !readNumber(&p, &last) || *p++ != '/')
    return RESUME_BREAK;
  if (first != received || last < first)
    return RESUME_BREAK;
  uint32_t total = 0;
  if (*p == '*')
    return RESUME_APPEND;
  if (!readNumber(&p, &total) || total != expected)
    return RESUME_BREAK;
  return RESUME_APPEND;
}

bool resumeWorthTrying(ResumeProgress* progress, uint32_t received) {
  if (progress->resumed && received <= progress->mostReceived) {
    ++progress->idle;
  } else {
    progress->idle = 0;
    progress->mostReceived = received;
  }
  progress->resumed = true;
  return progress->idle < kMaxIdleResumes;
}

bool inflateExactly(const unsigned char* source,
                    size_t sourceLength,
                    unsigned char* out,
                    size_t outSize,
                    size_t expected) {
  if (expected > outSize)
    return false;
  uLongf length = static_cast<uLongf>(outSize);
  int result = uncompress(out, &length, source, static_cast<uLong>(sourceLength));
  return result == Z_OK && length == expected;
}

bool statusBodyAllowsStart(const char* body, size_t length) {
  if (length == 0)
    return true;
  for (size_t i = 0; i + 1 < length; ++i)
    if (body[i] == 'O' && body[i + 1] == 'K')
      return true;
  return false;
}
