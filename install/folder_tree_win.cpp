#include "install/folder_tree.h"

#include <windows.h>

#include <cstring>

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/win_handles.h"

namespace {

// Removes a folder that is a reparse point (junction, mount point, directory
// link) without entering it.
bool removeIfReparsePoint(const char* folder) {
  DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  logMessage(LOG_INFO, "deleteTree: removing the link %s, not what it points to", folder);
  SetFileAttributesA(folder, FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(folder);
  return true;
}

}  // namespace

void deleteTree(const char* path) {
  // The folder itself without its closing "\", for the attribute check.
  char folder[MAX_PATH * 2];
  size_t length = strlen(path);
  if (length == 0 || !copyTextPart(folder, sizeof folder, path, length - 1))
    return;
  if (removeIfReparsePoint(folder))
    return;

  char pattern[MAX_PATH * 2];
  if (!formatText(pattern, sizeof pattern, "%s*.*", path))
    return;
  WIN32_FIND_DATAA found = {};
  {
    ScopedFindHandle search(FindFirstFileA(pattern, &found));
    if (!search.valid())
      return;
    do {
      if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, ".."))
        continue;
      char name[MAX_PATH * 2];
      if (!formatText(name, sizeof name, "%s%s", path, found.cFileName)) {
        logMessage(LOG_WARNING, "deleteTree: name too long below %s", path);
        continue;
      }
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          removeIfReparsePoint(name);
          continue;
        }
        char subfolder[MAX_PATH * 2];
        if (formatText(subfolder, sizeof subfolder, "%s\\", name))
          deleteTree(subfolder);
      } else {
        SetFileAttributesA(name, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(name);
      }
    } while (FindNextFileA(search.get(), &found));
  }
  RemoveDirectoryA(folder);
}
