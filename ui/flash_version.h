// The Flash version the game client needs, and how the control's answer is
// read.
#pragma once

#include <cstdint>

// Lowest major version of the Flash control the client runs with; also the
// number named in the status line and in the browser question.
constexpr int kRequiredFlashVersion = 8;

// The control answers its version as one 32-bit integer whose high 16 bits,
// read as an unsigned number, are the major version.
bool flashVersionSuffices(uint32_t answer);
