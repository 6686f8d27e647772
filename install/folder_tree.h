// Removing folder trees of the install folder (createDirectoryPath of
// install/directory_path.h makes them).
#pragma once

// Deletes every file and folder below path (which ends in "\"), then the
// folder itself; read-only, hidden and system files go too. A junction or
// other reparse point is removed as a link: its target's contents are never
// listed, so the removal cannot leave the tree it was given. What cannot be
// deleted stays, with the folders that hold it.
void deleteTree(const char* path);
