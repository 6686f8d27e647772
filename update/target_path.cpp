#include "update/target_path.h"

#include <cstring>

#include "app/bounded_text.h"

namespace {

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

char upperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when the part [p, p + n) is a device name, with or without an
// extension: Windows opens the device, not a file, for "NUL" and "nul.txt".
bool isDeviceName(const char* p, size_t n) {
  size_t stem = 0;
  while (stem < n && p[stem] != '.')
    ++stem;
  while (stem > 0 && p[stem - 1] == ' ')
    --stem;
  char name[5] = {};
  if (stem < 3 || stem > 4)
    return false;
  for (size_t i = 0; i < stem; ++i)
    name[i] = upperAscii(p[i]);
  static const char* const kThree[] = {"CON", "PRN", "AUX", "NUL"};
  if (stem == 3) {
    for (const char* device : kThree)
      if (strcmp(name, device) == 0)
        return true;
    return false;
  }
  bool numbered = name[3] >= '1' && name[3] <= '9';
  name[3] = '\0';
  return numbered && (strcmp(name, "COM") == 0 || strcmp(name, "LPT") == 0);
}

// True when the part is made only of dots and blanks.
bool isDotsAndBlanks(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != '.' && p[i] != ' ')
      return false;
  return true;
}

// Position of the last folder separator, or null.
const char* lastSeparator(const char* path) {
  const char* back = strrchr(path, '\\');
  const char* slash = strrchr(path, '/');
  if (!back)
    return slash;
  return (slash && slash > back) ? slash : back;
}

}  // namespace

bool isSafeTargetPath(const char* target) {
  if (target[0] == '\0')
    return true;
  if (isSeparator(target[0]) || strchr(target, ':'))
    return false;
  const char* part = target;
  for (;;) {
    size_t n = 0;
    while (part[n] && !isSeparator(part[n]))
      ++n;
    bool last = part[n] == '\0';
    if (n == 0) {
      if (last)
        return false;  // ends in a separator: names a folder, not a file
    } else if (isDotsAndBlanks(part, n)) {
      if (!(n == 1 && part[0] == '.') || last)
        return false;
    } else if (isDeviceName(part, n)) {
      return false;
    }
    if (last)
      return true;
    part += n + 1;
  }
}

bool makeStoredFileName(const char* target, bool bCompressed, char* out, size_t outSize) {
  if (!bCompressed)
    return copyText(out, outSize, target);
  const char* dot = strrchr(target, '.');
  const char* separator = lastSeparator(target);
  const char* name = separator ? separator + 1 : target;
  if (!dot || dot < name || isDotsAndBlanks(name, static_cast<size_t>(dot - name))) {
    if (outSize)
      out[0] = '\0';
    return false;
  }
  return copyTextPart(out, outSize, target, static_cast<size_t>(dot - target));
}

bool targetFolder(const char* path, char* out, size_t outSize) {
  // Backslash first: a manifest path is a Windows path, and a "/" inside it
  // only counts when it has no backslash at all.
  const char* cut = strrchr(path, '\\');
  if (!cut)
    cut = strrchr(path, '/');
  return copyTextPart(out, outSize, path, cut ? static_cast<size_t>(cut - path) : 0);
}
