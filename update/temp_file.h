// Unique temporary files.
#pragma once

#include <cstddef>

// Creates an empty file with a unique name ("cci" prefix) in the temporary
// folder, or beside the executable when that fails, and writes its path into
// out (outSize bytes, 260 expected). False, with out empty, when no file
// could be created.
bool makeTempFileName(char* out, size_t outSize);
