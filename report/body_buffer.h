// The bug report request body built into one plain buffer: the same bytes as
// buildBugReportBody ("DATA=", then the sealed, compressed, Base64 and
// form-encoded report), made without the standard library's string, so the
// shipped program links none of its runtime for it.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns a new buffer (free with delete[]) holding the body and stores its
// length; null (length 0) when memory runs out or compression fails.
uint8_t* buildReportBodyBuffer(const void* report, size_t length, size_t* bodyLength);
