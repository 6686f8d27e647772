// Arithmetic on the checksum's polynomial, in the register's reflected bit
// order (the coefficient of x^k is bit 31 - k, so x^0 is the top bit). Used to
// join checksums of neighbouring stretches and to make the folding constants
// of the vector path; everything here can run at compile time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crc_polynomial {

constexpr uint32_t kOne = 0x80000000u;  // x^0

// Product of two polynomials modulo the checksum's polynomial.
constexpr uint32_t multiplyModP(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t m = 0x80000000u; m != 0; m >>= 1) {
    if (a & m)
      product ^= b;
    b = (b & 1) ? (b >> 1) ^ 0xEDB88320u : b >> 1;
  }
  return product;
}

// x^(2^k) modulo the polynomial, k = 0 ... 31; the powers repeat with period
// 32, as the order of x divides 2^32 - 1.
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

// x^n modulo the polynomial. Multiplying a register by x^(8n) has the effect
// of folding n zero bytes into it.
constexpr uint32_t xPower(uint64_t n) {
  uint32_t p = kOne;
  for (unsigned k = 0; n != 0; n >>= 1, ++k)
    if (n & 1)
      p = multiplyModP(kPowers.x2k[k & 31], p);
  return p;
}

}  // namespace crc_polynomial
