// State of the file being downloaded, shared by the window and the worker.
#pragma once

#include <cstddef>

constexpr size_t kTempFileSize = 260;

// Temporary file the current download is written to; for a stub download it
// is the new stub that the shutdown starts. Written on the GUI thread.
extern char g_szTempFile[kTempFileSize];
