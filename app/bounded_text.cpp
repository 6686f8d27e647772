#include "app/bounded_text.h"

#include <cstdio>
#include <cstring>

bool copyText(char* dst, size_t dstSize, const char* src) {
  return copyTextPart(dst, dstSize, src, strlen(src));
}

bool copyTextPart(char* dst, size_t dstSize, const char* src, size_t count) {
  if (dstSize == 0)
    return false;
  if (count >= dstSize) {
    dst[0] = '\0';
    return false;
  }
  memmove(dst, src, count);
  dst[count] = '\0';
  return true;
}

bool appendText(char* dst, size_t dstSize, const char* src) {
  size_t used = boundedLength(dst, dstSize);
  size_t add = strlen(src);
  if (used >= dstSize || add >= dstSize - used)
    return false;
  memcpy(dst + used, src, add + 1);
  return true;
}

bool formatTextV(char* dst, size_t dstSize, const char* format, va_list args) {
  if (dstSize == 0)
    return false;
  int n = vsnprintf(dst, dstSize, format, args);
  if (n < 0 || static_cast<size_t>(n) >= dstSize) {
    dst[0] = '\0';
    return false;
  }
  return true;
}

bool formatText(char* dst, size_t dstSize, const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool ok = formatTextV(dst, dstSize, format, args);
  va_end(args);
  return ok;
}

size_t boundedLength(const char* text, size_t size) {
  const void* end = memchr(text, '\0', size);
  return end ? static_cast<size_t>(static_cast<const char*>(end) - text) : size;
}

static char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (lowerAscii(*a) != lowerAscii(*b))
      return false;
  }
  return *a == *b;
}
