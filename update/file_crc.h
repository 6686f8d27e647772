// The program's 32-bit file checksum: the CRC of zlib and ISO-HDLC (reflected
// polynomial 0xEDB88320) with the register starting at 0 instead of
// 0xFFFFFFFF, complemented at the end. So the empty input gives 0xFFFFFFFF and
// "abc" gives 0x359A672F; it equals zlib's crc32(0xFFFFFFFF, data, length).
// The manifest's expected checksums hold this value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Folds length bytes into a raw (uncomplemented) register and returns it:
// through the processor's carry-less multiply where the processor and the
// system allow it (update/crc_wide.h), through tables otherwise.
uint32_t crcFold(uint32_t reg, const void* data, size_t length);

// The table-driven fold, eight bytes per step, that every processor runs.
uint32_t crcFoldTable(uint32_t reg, const void* data, size_t length);

// Folds length bytes into the register held in *pCrc and stores the
// complemented register back. Callers start with 0 and cover the whole input
// in one call.
void updateCrc(const void* data, size_t length, uint32_t* pCrc);

// The same over an open file, from its current position to its end, read in
// blocks of 4096 bytes until a read fails or returns nothing; the complement
// is taken once, at the end.
void updateCrcFromFile(FILE* file, uint32_t* pCrc);

// Bytes of a file of fileSize bytes that come before the stub's affiliate
// text, given the file's last four bytes; -1 when the file does not end in the
// stub trailer or the trailer's length runs past the start of the file.
int64_t trailerCoveredLength(uint64_t fileSize, const unsigned char tail[4]);

// Checksum of a stored file; 0 when it cannot be opened. With bSkipTrailer
// and a file ending in the stub trailer (affiliate text of L bytes, 16-bit
// little-endian L, signature bytes 0x55 0xAA), only the bytes before the
// affiliate text count, so stubs that differ only in their affiliate have the
// same checksum. A trailer whose length runs past the start of the file is
// not a trailer: the whole file counts.
// The Windows build opens the file with read access and read sharing only, so
// a file another process holds open for writing cannot be opened and reads as
// 0, as it does for the rest of the update.
uint32_t calculateFileCrc(const char* path, bool bSkipTrailer);
