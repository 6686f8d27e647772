#include "app/install_path.h"

#include <cstring>

#include "app/bounded_text.h"
#include "app/relative_path.h"

namespace {

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool isContainedRelativePath(const char* relative) {
  if (!relative || !relative[0] || isSeparator(relative[0]) || strchr(relative, ':'))
    return false;
  const char* segment = relative;
  for (const char* p = relative;; ++p) {
    if (*p == '\0' || isSeparator(*p)) {
      size_t length = static_cast<size_t>(p - segment);
      // "." and ".." walk out of (or stay on) the folder; Windows also drops
      // trailing dots and blanks, so "..." and ". ." name the parent as well.
      bool onlyDots = length > 0;
      for (const char* q = segment; q < p; ++q)
        if (*q != '.' && *q != ' ')
          onlyDots = false;
      if (onlyDots)
        return false;
      if (*p == '\0')
        return true;
      segment = p + 1;
    }
  }
}

bool joinInstallPath(const char* folder, const char* storedPath, char* out, size_t outSize) {
  char relative[260] = "";
  if (!folder[0] || !normalizeRelativePath(storedPath, relative, sizeof relative) ||
      !isContainedRelativePath(relative)) {
    copyText(out, outSize, "");
    return false;
  }
  return formatText(out, outSize, "%s\\%s", folder, relative);
}

bool isPathInsideFolder(const char* path, const char* folder) {
  size_t folderLength = strlen(folder);
  if (folderLength == 0 || strlen(path) <= folderLength)
    return false;
  for (size_t i = 0; i < folderLength; ++i)
    if (lowerAscii(path[i]) != lowerAscii(folder[i]))
      return false;
  const char* rest = path + folderLength;
  if (!isSeparator(folder[folderLength - 1])) {
    if (!isSeparator(*rest))
      return false;
    ++rest;
  }
  return isContainedRelativePath(rest);
}
