// Sealing of crash logs and bug reports: zero padding to whole 32-byte
// blocks and Rijndael with a 32-byte key and a 32-byte block (Rijndael-256),
// ECB. The service deciphers with the same key; the program never does.
#pragma once

#include <cstddef>
#include <cstdint>

// The report key and chain, 32 characters each (no terminator counted).
extern const char kReportKey[33];
extern const char kReportChain[33];

// Padded length P for n input bytes: 32 when n <= 32, else 32 * (n / 32 + 1).
// So 1 to 32 give 32, 33 to 63 give 64, and 64 gives 96. 0 when n is so
// large that P would not fit in size_t.
size_t reportCipherLength(size_t n);

// Enciphers n bytes into out, which must hold reportCipherLength(n) bytes.
// Allocates nothing, so the crash filter can use it. Returns P, or 0 when out
// is too small.
size_t encryptReportInto(const void* data, size_t n, uint8_t* out, size_t outSize);

// Enciphers n bytes into a new buffer of P bytes (free with delete[]) and
// stores P through pLength. Null (and *pLength = 0) when out of memory.
uint8_t* encryptReport(const void* data, size_t n, size_t* pLength);
