// The terms of use, privacy policy and card policy shown on the first screen.
#pragma once

#include <cstddef>

// Size of the terms buffer in bytes, terminating zero included.
constexpr size_t kTermsTextSize = 60000;

// Filled once by buildTermsText on the GUI thread during start-up.
extern char g_szTermsText[kTermsTextSize];

// Empties g_szTermsText and appends the fixed pieces of the terms text. When
// they do not all fit, logs a FAIL line and leaves the buffer empty.
void buildTermsText();

// Writes the whole terms text into dst (dstSize bytes, terminator included).
// Returns false and leaves dst empty when it does not fit: the text is shown
// whole or not at all.
bool fillTermsText(char* dst, size_t dstSize);
