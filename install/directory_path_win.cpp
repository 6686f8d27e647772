#include "install/directory_path.h"

#include <windows.h>

#include "app/bounded_text.h"

namespace {

bool isFolder(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool createDirectoryPath(const char* path) {
  char partial[MAX_PATH];
  if (!copyText(partial, sizeof partial, path))
    return false;
  if (!partial[0])
    return true;
  for (char* p = partial;; ++p) {
    char c = *p;
    if (c == '\\' || c == '/' || c == '\0') {
      *p = '\0';
      // A drive ("C:") or an empty part (leading or doubled separator) is no
      // folder to create.
      size_t length = static_cast<size_t>(p - partial);
      bool drive = length == 2 && partial[1] == ':';
      // "." and folders made meanwhile fail to be created but are there.
      if (length > 0 && !drive && !CreateDirectoryA(partial, nullptr) && !isFolder(partial))
        return false;
      *p = c;
      if (c == '\0')
        break;
    }
  }
  return isFolder(partial);
}
