// Bounded text helpers: every write into a fixed buffer goes through these.
// Each always leaves the destination zero-terminated (when it has room for a
// terminator at all) and reports whether the whole text fitted. On a false
// result the destination holds the empty text, never a cut-off fragment that
// could be mistaken for a real path or value.
#pragma once

#include <cstdarg>
#include <cstddef>

// Copies src into dst (dstSize bytes including the terminator).
bool copyText(char* dst, size_t dstSize, const char* src);

// Copies the first count bytes of src (no terminator needed in src).
bool copyTextPart(char* dst, size_t dstSize, const char* src, size_t count);

// Appends src to the text already in dst. On false dst is left unchanged.
bool appendText(char* dst, size_t dstSize, const char* src);

// printf into dst. On false (output would not fit) dst is emptied.
bool formatText(char* dst, size_t dstSize, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
bool formatTextV(char* dst, size_t dstSize, const char* format, va_list args);

// Length of a text that may lack a terminator within size bytes.
size_t boundedLength(const char* text, size_t size);

// Case-insensitive comparison of two ANSI texts (ASCII letters only).
bool equalsIgnoreCase(const char* a, const char* b);
