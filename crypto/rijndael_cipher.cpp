// Table-driven Rijndael encryption: one lookup in each of four word tables per
// state byte and round, a fully unrolled path for 16-byte blocks, and no
// allocation in any operation.
#include "crypto/rijndael_cipher.h"

#include <cstring>

#include "crypto/rijndael_tables.h"

namespace {

using rijndael::kTables;

const auto& S = kTables.sbox;
const auto& T1 = kTables.te[0];
const auto& T2 = kTables.te[1];
const auto& T3 = kTables.te[2];
const auto& T4 = kTables.te[3];

inline uint32_t load32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

inline void store32(uint8_t* p, uint32_t w) {
  p[0] = uint8_t(w >> 24);
  p[1] = uint8_t(w >> 16);
  p[2] = uint8_t(w >> 8);
  p[3] = uint8_t(w);
}

inline uint32_t subWord(uint32_t w) {
  return (uint32_t(S[w >> 24]) << 24) | (uint32_t(S[(w >> 16) & 0xFF]) << 16) |
         (uint32_t(S[(w >> 8) & 0xFF]) << 8) | S[w & 0xFF];
}

inline uint32_t roundWord(uint32_t a0, uint32_t a1, uint32_t a2, uint32_t a3, uint32_t k) {
  return T1[a0 >> 24] ^ T2[(a1 >> 16) & 0xFF] ^ T3[(a2 >> 8) & 0xFF] ^ T4[a3 & 0xFF] ^ k;
}

inline uint32_t finalWord(uint32_t a0, uint32_t a1, uint32_t a2, uint32_t a3, uint32_t k) {
  return ((uint32_t(S[a0 >> 24]) << 24) | (uint32_t(S[(a1 >> 16) & 0xFF]) << 16) |
          (uint32_t(S[(a2 >> 8) & 0xFF]) << 8) | S[a3 & 0xFF]) ^
         k;
}

bool validLength(int n) {
  return n == 16 || n == 24 || n == 32;
}

}  // namespace

RijndaelCipher::RijndaelCipher()
    : keyInitialised_(false), roundKeys_(), keyLength_(0), blockLength_(0), rounds_(0), chain_() {}

RijndaelCipher::~RijndaelCipher() = default;

void RijndaelCipher::initKey(const void* key, const void* chain, int keyLength, int blockLength) {
  if (key == nullptr)
    throw RijndaelError("Empty key");
  if (!validLength(keyLength))
    throw RijndaelError("Incorrect key length");
  if (!validLength(blockLength))
    throw RijndaelError("Incorrect block length");

  keyLength_ = keyLength;
  blockLength_ = blockLength;
  if (chain)
    memcpy(chain_, chain, blockLength);
  else
    memset(chain_, 0, sizeof chain_);

  const int nk = keyLength / 4;
  const int nb = blockLength / 4;
  rounds_ = (nk > nb ? nk : nb) + 6;

  // Key schedule over a flat word array, then dealt row by row.
  uint32_t w[(MAX_ROUNDS + 1) * 8];
  const int total = (rounds_ + 1) * nb;
  const uint8_t* k = static_cast<const uint8_t*>(key);
  for (int i = 0; i < nk; ++i)
    w[i] = load32(k + 4 * i);
  uint8_t rcon = 0x01;
  for (int i = nk; i < total; ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = subWord((temp << 8) | (temp >> 24)) ^ (uint32_t(rcon) << 24);
      rcon = rijndael::xtime(rcon);
    } else if (nk == 8 && i % nk == 4) {
      temp = subWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  memset(roundKeys_, 0, sizeof roundKeys_);
  for (int i = 0; i < total; ++i)
    roundKeys_[i / nb][i % nb] = w[i];

  keyInitialised_ = true;
}

void RijndaelCipher::requireKey() const {
  if (!keyInitialised_)
    throw RijndaelError("Object not Initialized");
}

void RijndaelCipher::encryptBlock(const void* in, void* out) {
  if (blockLength_ != 16)
    return encryptBlockGeneric(in, out);
  requireKey();
  encryptBlock16(static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}

void RijndaelCipher::encryptBlockGeneric(const void* in, void* out) {
  requireKey();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  switch (blockLength_) {
    case 16:
      encryptBlockNb<4>(src, dst);
      break;
    case 24:
      encryptBlockNb<6>(src, dst);
      break;
    default:
      encryptBlockNb<8>(src, dst);
      break;
  }
}

template <int Nb>
void RijndaelCipher::encryptBlockNb(const uint8_t* in, uint8_t* out) const {
  // ShiftRows offsets of rows 1, 2, 3: (1, 2, 3) for 4 and 6 columns, (1, 3, 4) for 8.
  constexpr int s1 = 1;
  constexpr int s2 = Nb == 8 ? 3 : 2;
  constexpr int s3 = Nb == 8 ? 4 : 3;
  uint32_t a[Nb];
  uint32_t b[Nb];
  for (int j = 0; j < Nb; ++j)
    a[j] = load32(in + 4 * j) ^ roundKeys_[0][j];
  for (int r = 1; r < rounds_; ++r) {
    for (int j = 0; j < Nb; ++j)
      b[j] =
          roundWord(a[j], a[(j + s1) % Nb], a[(j + s2) % Nb], a[(j + s3) % Nb], roundKeys_[r][j]);
    memcpy(a, b, sizeof a);
  }
  for (int j = 0; j < Nb; ++j)
    b[j] = finalWord(a[j], a[(j + s1) % Nb], a[(j + s2) % Nb], a[(j + s3) % Nb],
                     roundKeys_[rounds_][j]);
  for (int j = 0; j < Nb; ++j)
    store32(out + 4 * j, b[j]);
}

// Two rounds per step, ping-ponging between the a and b registers.
#define VELORIN_AES_ROUND(d, s, r)                            \
  d##0 = roundWord(s##0, s##1, s##2, s##3, roundKeys_[r][0]); \
  d##1 = roundWord(s##1, s##2, s##3, s##0, roundKeys_[r][1]); \
  d##2 = roundWord(s##2, s##3, s##0, s##1, roundKeys_[r][2]); \
  d##3 = roundWord(s##3, s##0, s##1, s##2, roundKeys_[r][3])

void RijndaelCipher::encryptBlock16(const uint8_t* in, uint8_t* out) const {
  uint32_t a0 = load32(in) ^ roundKeys_[0][0];
  uint32_t a1 = load32(in + 4) ^ roundKeys_[0][1];
  uint32_t a2 = load32(in + 8) ^ roundKeys_[0][2];
  uint32_t a3 = load32(in + 12) ^ roundKeys_[0][3];
  uint32_t b0, b1, b2, b3;
  VELORIN_AES_ROUND(b, a, 1);
  VELORIN_AES_ROUND(a, b, 2);
  VELORIN_AES_ROUND(b, a, 3);
  VELORIN_AES_ROUND(a, b, 4);
  VELORIN_AES_ROUND(b, a, 5);
  VELORIN_AES_ROUND(a, b, 6);
  VELORIN_AES_ROUND(b, a, 7);
  VELORIN_AES_ROUND(a, b, 8);
  VELORIN_AES_ROUND(b, a, 9);
  if (rounds_ > 10) {
    VELORIN_AES_ROUND(a, b, 10);
    VELORIN_AES_ROUND(b, a, 11);
    if (rounds_ > 12) {
      VELORIN_AES_ROUND(a, b, 12);
      VELORIN_AES_ROUND(b, a, 13);
    }
  }
  const uint32_t(&k)[8] = roundKeys_[rounds_];
  store32(out, finalWord(b0, b1, b2, b3, k[0]));
  store32(out + 4, finalWord(b1, b2, b3, b0, k[1]));
  store32(out + 8, finalWord(b2, b3, b0, b1, k[2]));
  store32(out + 12, finalWord(b3, b0, b1, b2, k[3]));
}

#undef VELORIN_AES_ROUND

void RijndaelCipher::encrypt(const void* in, void* out, size_t length, int mode) {
  requireKey();
  const size_t n = static_cast<size_t>(blockLength_);
  if (length == 0 || length % n != 0)
    throw RijndaelError("Data not multiple of Block Size");
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  for (size_t pos = 0; pos < length; pos += n) {
    if (mode == CBC) {
      xorBlock(chain_, src + pos);
      encryptBlock(chain_, dst + pos);
      memcpy(chain_, dst + pos, n);
    } else if (mode == CFB) {
      // Through a temporary, so that in == out still reads the input block.
      uint8_t keystream[MAX_BLOCK];
      encryptBlock(chain_, keystream);
      xorBlock(keystream, src + pos);
      memcpy(dst + pos, keystream, n);
      memcpy(chain_, keystream, n);
    } else {
      encryptBlock(src + pos, dst + pos);
    }
  }
}

void RijndaelCipher::xorBlock(void* buffer, const void* data) {
  requireKey();
  uint8_t* b = static_cast<uint8_t*>(buffer);
  const uint8_t* d = static_cast<const uint8_t*>(data);
  for (int i = 0; i < blockLength_; ++i)
    b[i] ^= d[i];
}
