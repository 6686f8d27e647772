// The files and the affiliate identifier carried in the tail of the stub's
// own executable, read defensively: the tail is checked whole before anything
// is written, so a partly downloaded or damaged stub writes nothing.
//
// Layout, from the end of the file (E bytes, integers little-endian):
//   E - 2          signature 0x55 0xAA
//   E - 4          16-bit L, the affiliate text's length
//   E - 4 - L      affiliate text, L bytes, no terminator
//   E - 8 - L      32-bit entry count (written by the packer, not trusted)
//   E - 12 - L     32-bit T, the byte size of the entry table
//   E - 12 - L - T the entry table: per entry a 16-bit name length N, the N
//                  name bytes, the 32-bit 1-based position of the data block
//                  and its 32-bit size
// The data blocks lie between the executable image and the entry table.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kMaxCarriedFiles = 10;
constexpr size_t kCarriedNameSize = 260;  // names of 259 characters at most
constexpr size_t kAffiliateSize = 256;    // identifiers of 255 characters at most
constexpr unsigned char kTailSignature[2] = {0x55, 0xAA};
constexpr size_t kTailFixedSize = 12;  // T, count, L and the signature

struct CarriedFile {
  char szName[kCarriedNameSize];
  uint32_t ulPosition;  // 0-based offset of the data block
  uint32_t ulSize;
};

struct StubPayload {
  char szAffiliate[kAffiliateSize];  // as carried; not yet checked as an identifier
  CarriedFile files[kMaxCarriedFiles];
  size_t nFiles;
};

enum PayloadResult {
  PAYLOAD_NONE,     // no signature: nothing carried, nothing to do
  PAYLOAD_OK,       // the tail is whole and every entry stays in the file
  PAYLOAD_CORRUPT,  // cut short, inconsistent, or a name that is not a plain file name
};

// Reads size bytes at offset into buffer; false when they cannot all be read.
using PayloadReader = bool (*)(void* context, uint64_t offset, void* buffer, size_t size);

// Reads and checks the tail of a file of fileSize bytes through read. On
// PAYLOAD_OK *out holds the affiliate text and the entries in table order; on
// anything else *out is empty. A tail is corrupt when any read fails, L is
// above 255, T runs past the start of the file, an entry's name length is 0
// or 260 and above or the name is not a plain file name, more than 10
// entries are listed, the entries do not fill T exactly, or a data block
// (position 1-based) does not lie wholly before the entry table.
PayloadResult readStubPayload(uint64_t fileSize,
                              PayloadReader read,
                              void* context,
                              StubPayload* out);

// True for a name that creates a file in the current folder and nowhere else:
// not empty, shorter than 260 characters, no "\", "/" or ":", no part of
// dots and blanks only (such as ".."), no device name, no control character
// and none of the characters Windows cannot store in a name.
bool isPlainFileName(const char* name);

// True for an affiliate identifier the client and the tracking may carry:
// 1 to 255 characters, each a letter, a digit, "-" or "_".
bool isValidAffiliate(const char* text);

// Reader over a block of memory: context is a MemoryImage.
struct MemoryImage {
  const unsigned char* data;
  size_t size;
};
bool readFromMemory(void* context, uint64_t offset, void* buffer, size_t size);
