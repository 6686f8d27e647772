// calculateFileCrc through the Win32 file API: read access and read sharing
// only, as the rest of the update opens client files, so a file that another
// process holds open for writing (a running client updating itself) is not
// read half-written; it cannot be opened and reads as 0.
#include <windows.h>

#include "app/win_handles.h"
#include "update/file_crc.h"

namespace {

// Read block: under Wine every ReadFile is a call through the system layer,
// and 64 KB blocks check a current 200 MB install in two thirds of the time
// 4096-byte blocks take; the checksum is the same either way.
const DWORD kFileBlock = 65536;

// Folds up to count bytes from the current position (all of them when count
// is -1); false when fewer could be read.
bool foldFromFile(HANDLE file, int64_t count, uint32_t* pReg) {
  unsigned char buffer[kFileBlock];
  while (count != 0) {
    DWORD want = count < 0 || count > kFileBlock ? kFileBlock : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!ReadFile(file, buffer, want, &got, nullptr) || got == 0)
      return count < 0;
    *pReg = crcFold(*pReg, buffer, got);
    if (count > 0)
      count -= got;
  }
  return true;
}

bool seekTo(HANDLE file, int64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

// Checksum of the bytes before the stub trailer, or 0 when there is none.
uint32_t trailerCrc(HANDLE file) {
  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
    return 0;
  uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
  unsigned char tail[4];
  DWORD got = 0;
  if (size < 4 || !seekTo(file, static_cast<int64_t>(size - 4)) ||
      !ReadFile(file, tail, 4, &got, nullptr) || got != 4)
    return 0;
  int64_t covered = trailerCoveredLength(size, tail);
  if (covered < 0 || !seekTo(file, 0))
    return 0;
  uint32_t reg = 0;
  if (!foldFromFile(file, covered, &reg))
    return 0;
  return ~reg;
}

}  // namespace

uint32_t calculateFileCrc(const char* path, bool bSkipTrailer) {
  ScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid())
    return 0;
  uint32_t crc = bSkipTrailer ? trailerCrc(file.get()) : 0;
  // No trailer rule, no trailer, or a trailer checksum that happens to be 0:
  // the whole file counts.
  if (crc == 0 && seekTo(file.get(), 0)) {
    uint32_t reg = 0;
    foldFromFile(file.get(), -1, &reg);
    crc = ~reg;
  }
  return crc;
}
