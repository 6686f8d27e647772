// Rijndael S-box and encryption round tables, computed at compile time from
// the field arithmetic so that no hand-typed constant can be wrong: GF(2^8)
// with the polynomial x^8 + x^4 + x^3 + x + 1 (0x11B).
#pragma once

#include <cstdint>

namespace rijndael {

constexpr uint8_t xtime(uint8_t b) {
  return static_cast<uint8_t>((b << 1) ^ ((b & 0x80) ? 0x1B : 0x00));
}

constexpr uint8_t rotl8(uint8_t b, int n) {
  return static_cast<uint8_t>((b << n) | (b >> (8 - n)));
}

struct Tables {
  uint8_t sbox[256];
  // te[0][x] holds 2*S[x], S[x], S[x], 3*S[x] from most to least significant
  // byte; te[1..3] are the same word rotated right by 8, 16 and 24 bits.
  uint32_t te[4][256];
};

constexpr Tables makeTables() {
  Tables t{};
  // Exponent and logarithm tables over the generator 3 give the inverses.
  uint8_t exp[256] = {};
  uint8_t log[256] = {};
  uint8_t p = 1;
  for (int i = 0; i < 255; ++i) {
    exp[i] = p;
    log[p] = static_cast<uint8_t>(i);
    p = static_cast<uint8_t>(p ^ xtime(p));  // multiply by 3
  }
  for (int x = 0; x < 256; ++x) {
    uint8_t inv = x == 0 ? 0 : exp[(255 - log[x]) % 255];
    uint8_t s = static_cast<uint8_t>(inv ^ rotl8(inv, 1) ^ rotl8(inv, 2) ^ rotl8(inv, 3) ^
                                     rotl8(inv, 4) ^ 0x63);
    t.sbox[x] = s;
    uint8_t s2 = xtime(s);
    uint8_t s3 = static_cast<uint8_t>(s2 ^ s);
    uint32_t w = (uint32_t(s2) << 24) | (uint32_t(s) << 16) | (uint32_t(s) << 8) | s3;
    t.te[0][x] = w;
    t.te[1][x] = (w >> 8) | (w << 24);
    t.te[2][x] = (w >> 16) | (w << 16);
    t.te[3][x] = (w >> 24) | (w << 8);
  }
  return t;
}

inline constexpr Tables kTables = makeTables();

}  // namespace rijndael
