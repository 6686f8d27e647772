#include "app/relative_path.h"

#include <cstring>

#include "app/bounded_text.h"

bool normalizeRelativePath(const char* path, char* output, size_t outputSize) {
  const char* start = path;
  if (strchr(path, '\\')) {
    if (path[0] == '\\')
      start = path + 1;
    else if (path[0] == '.' && path[1] == '\\')
      start = path + 2;
    else if (path[0] == '.')
      start = path + 1;
  }
  return copyText(output, outputSize, start);
}
