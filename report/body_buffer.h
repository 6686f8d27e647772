// The bug report request body built into one plain buffer: "DATA=", then the
// report sealed (report_cipher.h), compressed with zlib, Base64-encoded and
// form-encoded, made without the standard library's string, so the shipped
// program links none of its runtime for it.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns a new buffer (free with delete[]) holding the body and stores its
// length; null (length 0) when memory runs out or compression fails.
uint8_t* buildReportBodyBuffer(const void* report, size_t length, size_t* bodyLength);

// The last step alone: "DATA=" and the Base64 text of length bytes, whose
// "+", "/" and "=" are form-encoded. Same ownership and failure as above.
uint8_t* encodeReportBody(const uint8_t* packed, size_t length, size_t* bodyLength);
