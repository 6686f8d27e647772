// calculateFileCrc of the host tree, through the C runtime (the host tools and
// tests; the Windows build has its own in file_crc_file_win.cpp).
#include <cstdio>

#include "update/file_crc.h"

namespace {

const size_t kFileBlock = 4096;

// Folds the next count bytes of the file; false when they could not all be read.
bool foldFromFile(FILE* file, size_t count, uint32_t* pReg) {
  unsigned char buffer[kFileBlock];
  while (count > 0) {
    size_t want = count < kFileBlock ? count : kFileBlock;
    size_t got = fread(buffer, 1, want, file);
    *pReg = crcFold(*pReg, buffer, got);
    if (got != want)
      return false;
    count -= got;
  }
  return true;
}

// Checksum of the bytes before the stub trailer, or 0 when there is none.
uint32_t trailerCrc(FILE* file) {
  if (fseek(file, 0, SEEK_END) != 0)
    return 0;
  long size = ftell(file);
  if (size < 4 || fseek(file, size - 4, SEEK_SET) != 0)
    return 0;
  unsigned char tail[4];
  if (fread(tail, 1, 4, file) != 4)
    return 0;
  int64_t covered = trailerCoveredLength(static_cast<uint64_t>(size), tail);
  if (covered < 0 || fseek(file, 0, SEEK_SET) != 0)
    return 0;
  uint32_t reg = 0;
  if (!foldFromFile(file, static_cast<size_t>(covered), &reg))
    return 0;
  return ~reg;
}

}  // namespace

uint32_t calculateFileCrc(const char* path, bool bSkipTrailer) {
  FILE* file = fopen(path, "rb");
  if (!file)
    return 0;
  uint32_t crc = bSkipTrailer ? trailerCrc(file) : 0;
  // No trailer rule, no trailer, or a trailer checksum that happens to be 0:
  // the whole file counts.
  if (crc == 0 && fseek(file, 0, SEEK_SET) == 0)
    updateCrcFromFile(file, &crc);
  fclose(file);
  return crc;
}
