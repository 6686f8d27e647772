// Folding with carry-less multiplication. Sixteen bytes of input, loaded
// little-endian, are a polynomial of degree below 128 in the register's
// reflected order; the checksum of a message depends only on its polynomial
// modulo the checksum's polynomial P. Multiplying a 16-byte block by x^D
// modulo P moves it D bits further into the message, where it is added (XOR)
// to the block found there. Four blocks 64 bytes apart are carried along at
// once, then joined into one, then folded over the remaining whole blocks;
// the 16 bytes left over are congruent to everything before them, so the
// table path finishes from them and the tail.
#include "update/crc_wide.h"

#include <atomic>

#include "update/crc_polynomial.h"
#include "update/file_crc.h"

#if defined(__i386__) || defined(__x86_64__)

#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

#if defined(__i386__)
// The 32-bit Windows stack is only 4-byte aligned; the vector code realigns
// it for its spills.
#define VELORIN_VECTOR_ENTRY __attribute__((target("pclmul,sse2"), force_align_arg_pointer))
#else
#define VELORIN_VECTOR_ENTRY __attribute__((target("pclmul,sse2")))
#endif
#define VELORIN_VECTOR __attribute__((target("pclmul,sse2")))

namespace {

// Multipliers that move a block D bits on. The low 8 bytes of a block hold
// its higher powers (x^127 ... x^64), the high 8 bytes the lower ones
// (x^63 ... x^0). A carry-less product of two 64-bit halves in this order
// comes out multiplied by one extra x, so the multipliers are
// x^(D + 64 - 1) for the low half and x^(D - 1) for the high half, each a
// 32-bit remainder placed in the upper half of its 64 bits.
struct FoldConstants {
  alignas(16) uint64_t k[2];
};

constexpr FoldConstants foldBy(uint64_t bits) {
  return FoldConstants{{uint64_t(crc_polynomial::xPower(bits + 63)) << 32,
                        uint64_t(crc_polynomial::xPower(bits - 1)) << 32}};
}

constexpr FoldConstants kFold512 = foldBy(512);
constexpr FoldConstants kFold128 = foldBy(128);

VELORIN_VECTOR inline __m128i fold(__m128i block, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(block, k, 0x00), _mm_clmulepi64_si128(block, k, 0x11));
}

VELORIN_VECTOR inline __m128i load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

bool processorHasCarrylessMultiply() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
    return false;
  const unsigned kSse2 = 1u << 26, kPclmul = 1u << 1;
  return (edx & kSse2) && (ecx & kPclmul);
}

}  // namespace

bool crcWideUsable() {
  // 0 unknown, 1 usable, 2 not usable; any thread may be the first to ask and
  // each comes to the same answer.
  static std::atomic<int> known{0};
  int state = known.load(std::memory_order_relaxed);
  if (state == 0) {
    state = processorHasCarrylessMultiply() && systemKeepsVectorRegisters() ? 1 : 2;
    known.store(state, std::memory_order_relaxed);
  }
  return state == 1;
}

VELORIN_VECTOR_ENTRY uint32_t crcFoldWide(uint32_t reg, const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (length < 64)
    return crcFoldTable(reg, data, length);
  // The register's effect equals its value added to the first four bytes.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(int(reg)));
  __m128i x1 = load(p + 16);
  __m128i x2 = load(p + 32);
  __m128i x3 = load(p + 48);
  p += 64;
  length -= 64;
  const __m128i k512 = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold512.k));
  while (length >= 64) {
    x0 = _mm_xor_si128(fold(x0, k512), load(p));
    x1 = _mm_xor_si128(fold(x1, k512), load(p + 16));
    x2 = _mm_xor_si128(fold(x2, k512), load(p + 32));
    x3 = _mm_xor_si128(fold(x3, k512), load(p + 48));
    p += 64;
    length -= 64;
  }
  const __m128i k128 = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold128.k));
  __m128i x = _mm_xor_si128(fold(x0, k128), x1);
  x = _mm_xor_si128(fold(x, k128), x2);
  x = _mm_xor_si128(fold(x, k128), x3);
  while (length >= 16) {
    x = _mm_xor_si128(fold(x, k128), load(p));
    p += 16;
    length -= 16;
  }
  alignas(16) uint8_t folded[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(folded), x);
  return crcFoldTable(crcFoldTable(0, folded, sizeof folded), p, length);
}

#else  // no carry-less multiply on this processor family

bool crcWideUsable() {
  return false;
}

uint32_t crcFoldWide(uint32_t reg, const void* data, size_t length) {
  return crcFoldTable(reg, data, length);
}

#endif
