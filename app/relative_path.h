#pragma once

#include <cstddef>

// Drops a leading "\", ".\" or "." from a relative path so that it can be
// joined to the install folder: ".\a\b.exe", "\a\b.exe" and "a\b.exe" all
// give "a\b.exe". A path without any backslash is copied unchanged. Returns
// false, with an empty output, when the result does not fit in outputSize.
bool normalizeRelativePath(const char* path, char* output, size_t outputSize);
