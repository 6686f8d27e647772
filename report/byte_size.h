#pragma once

#include <cstddef>
#include <cstdint>

// Byte count as text: divided by 1024 while above 1000, printed with the
// given number of decimals and the unit " bytes", " KB", " MB", " GB", " TB"
// or, beyond those, " PB". So 1000 gives "1000.00 bytes" and 1001 "0.98 KB".
// Writes into out (outSize bytes); false (out emptied) when it does not fit.
bool formatByteSize(uint64_t count, int precision, char* out, size_t outSize);
