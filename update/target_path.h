// Names of client files on disk: where a manifest entry may write, the name it
// is stored under, and the folders that have to exist for it. Text only; both
// "\" and "/" separate folders, as they do for the Windows file functions.
#pragma once

#include <cstddef>

// True when a manifest target stays inside the install folder: a relative
// path with no drive (no ":" anywhere, which also shuts out alternate data
// streams), no leading separator (root of the drive, or a UNC "\\server"),
// no part made only of dots and blanks other than a single "." (".." climbs
// out; on Windows 98 "..." climbs two folders; Windows drops trailing dots
// and blanks, so ".. " is ".."), no device name as a part ("NUL", "CON",
// "COM1.txt" ...), and a last part that names a file. The empty target (an
// entry with no file on disk) is safe.
bool isSafeTargetPath(const char* target);

// The name an entry is stored under: the target, or for a compressed entry
// the target cut before its last "." (the served file's extra extension).
// False, with out empty, when a compressed target has no "." in its last part,
// when the cut would leave no file name, or when out (outSize bytes) is too
// small.
bool makeStoredFileName(const char* target, bool bCompressed, char* out, size_t outSize);

// The folder part of a path: the text before its last "\" or, when it has
// none, before its last "/". Empty when the path names a file in the current
// folder. False, with out empty, when out is too small.
bool targetFolder(const char* path, char* out, size_t outSize);
