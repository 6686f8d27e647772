#pragma once

#include <cstddef>
#include <cstdint>

// Size of the buffer a language name is built in.
constexpr size_t kLanguageNameSize = 100;

// The language name of a locale identifier (primary language in bits 0-9,
// sublanguage in bits 10-15), "Unknown" for a primary language without one.
void languageName(uint32_t locale, char* out, size_t outSize);
