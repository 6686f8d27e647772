// Paths of client files below the install folder. A stored path comes from
// the registry ("lastRun") or the manifest; before it is joined to the folder
// or used to end a process it must be shown to stay inside the folder.
#pragma once

#include <cstddef>

// Whether a relative path stays below the folder it is joined to: not empty,
// no drive ("C:"), no leading "\" or "/", and no "." or ".." segment
// (segments split at "\" and "/").
bool isContainedRelativePath(const char* relative);

// Joins a stored path to the install folder as "%s\%s" after dropping a
// leading "\", ".\" or "." (normalizeRelativePath). False, with out emptied,
// when the folder is empty, the normalised path would leave the folder or
// the result does not fit in outSize bytes.
bool joinInstallPath(const char* folder, const char* storedPath, char* out, size_t outSize);

// Whether path names a file strictly below folder: it starts with the folder
// (letters compared without regard to case), then one "\" (unless the folder
// already ends with one), and the rest is a contained relative path.
bool isPathInsideFolder(const char* path, const char* folder);
