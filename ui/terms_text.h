// The terms of use, privacy policy and card policy shown on the first screen.
#pragma once

#include <cstddef>

// Size of the terms buffer in bytes, terminating zero included.
constexpr size_t kTermsTextSize = 60000;

// Filled once by buildTermsText on the GUI thread during start-up.
extern char g_szTermsText[kTermsTextSize];

// Empties g_szTermsText and appends the fixed pieces of the terms text.
void buildTermsText();
