#include "update/file_crc.h"

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

// Product of two polynomials modulo the CRC polynomial, in the reflected bit
// order of the register (x^0 is the top bit).
constexpr uint32_t multiplyModP(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t m = 0x80000000u; m != 0; m >>= 1) {
    if (a & m)
      product ^= b;
    b = (b & 1) ? (b >> 1) ^ 0xEDB88320u : b >> 1;
  }
  return product;
}

// x^(2^k) modulo the polynomial, k = 0 ... 31; the powers repeat with period 32.
struct PowerTable {
  uint32_t x2k[32];
};

constexpr PowerTable makePowerTable() {
  PowerTable table{};
  uint32_t p = 0x40000000u;  // x^1
  for (int k = 0; k < 32; ++k) {
    table.x2k[k] = p;
    p = multiplyModP(p, p);
  }
  return table;
}

constexpr PowerTable kPowers = makePowerTable();

// x^(8n) modulo the polynomial: multiplying a register by it has the effect
// of folding n zero bytes into it.
uint32_t xPower8n(size_t n) {
  uint32_t p = 0x80000000u;  // x^0
  for (unsigned k = 3; n != 0; n >>= 1, ++k)
    if (n & 1)
      p = multiplyModP(kPowers.x2k[k & 31], p);
  return p;
}

}  // namespace

uint32_t crcFold(uint32_t reg, const void* data, size_t length) {
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
    const uint32_t shift = xPower8n(stretch);
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
