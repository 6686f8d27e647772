// The bug report request body: the report text sealed (report_cipher.h),
// compressed with zlib, Base64-encoded, form-encoded and prefixed with
// "DATA=", the one field of the form posted to the report server.
#pragma once

#include <cstddef>
#include <string>

// Standard alphabet, "=" padding to a multiple of four, no line breaks.
std::string base64Encode(const void* data, size_t length);

// Form encoding: letters and digits stay, a blank becomes "+", any other byte
// becomes "%" and two hex digits (lowercase, but a code below 0x10 is "%0"
// and one uppercase digit; the service reads both cases).
std::string formEncode(const std::string& text);

// Builds the body for length bytes of report text (zero bytes allowed, as
// appended crash files carry them). The compressed stream is kept whole: it
// is always longer than the ciphertext it holds, so the output buffer is
// sized by compressBound. False (and body emptied) when memory runs out or
// compression fails.
bool buildBugReportBody(const void* report, size_t length, std::string* body);
