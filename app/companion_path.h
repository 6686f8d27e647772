// Where the stub looks for the companion libraries it registers: the folder
// of its own executable, and nowhere else.
#pragma once

#include <cstddef>

// Replaces the file name of ownPath (everything after its last "\") with
// name, into out (outSize bytes). False, with out emptied, when ownPath has
// no folder part or the result does not fit.
bool besideOwnExecutable(const char* ownPath, const char* name, char* out, size_t outSize);
