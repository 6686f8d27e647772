#include "update/file_crc.h"

#include "update/crc_polynomial.h"
#include "update/crc_wide.h"

namespace {

// Slicing-by-8: table k holds the register change of a byte followed by k
// zero bytes, so eight independent lookups advance the register 8 bytes.
struct CrcTables {
  uint32_t t[8][256];
};

constexpr CrcTables makeCrcTables() {
  CrcTables tables{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables.t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (int k = 1; k < 8; ++k)
      tables.t[k][n] = (tables.t[k - 1][n] >> 8) ^ tables.t[0][tables.t[k - 1][n] & 0xFF];
  return tables;
}

constexpr CrcTables kCrc = makeCrcTables();

inline uint32_t loadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

const size_t kFileBlock = 4096;

// Below this length the lane set-up costs more than it saves.
const size_t kLaneThreshold = 512;

// Advances the register over 8 bytes: eight independent table lookups.
inline uint32_t step8(uint32_t reg, const uint8_t* p) {
  const auto& t = kCrc.t;
  uint32_t lo = reg ^ loadLe32(p);
  uint32_t hi = loadLe32(p + 4);
  return t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
         t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
}

}  // namespace

uint32_t crcFoldTable(uint32_t reg, const void* data, size_t length) {
  using crc_polynomial::multiplyModP;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (length >= kLaneThreshold) {
    // Four lanes over four equal stretches, folded in lock-step so that the
    // table lookups of one lane overlap the others' latency; the lane
    // registers are then joined by shifting each over the stretches behind it.
    const size_t stretch = (length / 4) & ~size_t(7);
    uint32_t r0 = reg, r1 = 0, r2 = 0, r3 = 0;
    const uint8_t* p1 = p + stretch;
    const uint8_t* p2 = p1 + stretch;
    const uint8_t* p3 = p2 + stretch;
    for (size_t i = 0; i < stretch; i += 8) {
      r0 = step8(r0, p + i);
      r1 = step8(r1, p1 + i);
      r2 = step8(r2, p2 + i);
      r3 = step8(r3, p3 + i);
    }
    const uint32_t shift = crc_polynomial::xPower(8 * uint64_t(stretch));
    reg = multiplyModP(shift, r0) ^ r1;
    reg = multiplyModP(shift, reg) ^ r2;
    reg = multiplyModP(shift, reg) ^ r3;
    p += 4 * stretch;
    length -= 4 * stretch;
  }
  while (length >= 8) {
    reg = step8(reg, p);
    p += 8;
    length -= 8;
  }
  while (length-- > 0)
    reg = kCrc.t[0][(reg ^ *p++) & 0xFF] ^ (reg >> 8);
  return reg;
}

uint32_t crcFold(uint32_t reg, const void* data, size_t length) {
  if (length >= kWideThreshold && crcWideUsable())
    return crcFoldWide(reg, data, length);
  return crcFoldTable(reg, data, length);
}

void updateCrc(const void* data, size_t length, uint32_t* pCrc) {
  *pCrc = ~crcFold(*pCrc, data, length);
}

void updateCrcFromFile(FILE* file, uint32_t* pCrc) {
  unsigned char buffer[kFileBlock];
  uint32_t reg = *pCrc;
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
    reg = crcFold(reg, buffer, got);
  *pCrc = ~reg;
}

int64_t trailerCoveredLength(uint64_t fileSize, const unsigned char tail[4]) {
  if (fileSize < 4 || tail[2] != 0x55 || tail[3] != 0xAA)
    return -1;
  uint64_t affiliateLength = tail[0] | (tail[1] << 8);
  if (affiliateLength + 4 > fileSize)
    return -1;
  return static_cast<int64_t>(fileSize - affiliateLength - 4);
}
