#include "tools/velorin-report/rijndael_decipher.h"

#include <cstring>

#include "crypto/rijndael_tables.h"

namespace {

using rijndael::xtime;

struct InverseSbox {
  uint8_t box[256];
  InverseSbox() {
    for (int x = 0; x < 256; ++x)
      box[rijndael::kTables.sbox[x]] = uint8_t(x);
  }
};

const InverseSbox kInverse;

uint8_t multiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  for (; b != 0; b >>= 1, a = xtime(a))
    if (b & 1)
      product ^= a;
  return product;
}

int rowShift(int nb, int row) {
  static const int small[4] = {0, 1, 2, 3};
  static const int wide[4] = {0, 1, 3, 4};
  return nb == 8 ? wide[row] : small[row];
}

}  // namespace

bool RijndaelDecipher::initKey(const void* key, int keyLength, int blockLength) {
  auto valid = [](int n) { return n == 16 || n == 24 || n == 32; };
  if (!key || !valid(keyLength) || !valid(blockLength))
    return false;
  const int nk = keyLength / 4;
  nb_ = blockLength / 4;
  rounds_ = (nk > nb_ ? nk : nb_) + 6;

  const auto& sbox = rijndael::kTables.sbox;
  uint8_t w[15 * 8][4];
  const int total = (rounds_ + 1) * nb_;
  memcpy(w, key, keyLength);
  uint8_t rcon = 1;
  for (int i = nk; i < total; ++i) {
    uint8_t t[4];
    memcpy(t, w[i - 1], 4);
    if (i % nk == 0) {
      uint8_t first = t[0];
      t[0] = uint8_t(sbox[t[1]] ^ rcon);
      t[1] = sbox[t[2]];
      t[2] = sbox[t[3]];
      t[3] = sbox[first];
      rcon = xtime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      for (uint8_t& b : t)
        b = sbox[b];
    }
    for (int k = 0; k < 4; ++k)
      w[i][k] = uint8_t(w[i - nk][k] ^ t[k]);
  }
  for (int r = 0; r <= rounds_; ++r)
    memcpy(roundKeys_[r], w[r * nb_], 4 * nb_);
  return true;
}

void RijndaelDecipher::decryptBlock(const void* in, void* out) const {
  const int n = 4 * nb_;
  uint8_t s[32];
  memcpy(s, in, n);
  auto addRoundKey = [&](int r) {
    for (int i = 0; i < n; ++i)
      s[i] ^= roundKeys_[r][i];
  };
  // Byte 4c + row is row "row" of column c.
  auto inverseShiftAndSub = [&]() {
    uint8_t t[32];
    for (int row = 0; row < 4; ++row)
      for (int c = 0; c < nb_; ++c)
        t[4 * ((c + rowShift(nb_, row)) % nb_) + row] = kInverse.box[s[4 * c + row]];
    memcpy(s, t, n);
  };
  auto inverseMixColumns = [&]() {
    for (int c = 0; c < nb_; ++c) {
      uint8_t* a = s + 4 * c;
      uint8_t a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
      a[0] = multiply(a0, 14) ^ multiply(a1, 11) ^ multiply(a2, 13) ^ multiply(a3, 9);
      a[1] = multiply(a0, 9) ^ multiply(a1, 14) ^ multiply(a2, 11) ^ multiply(a3, 13);
      a[2] = multiply(a0, 13) ^ multiply(a1, 9) ^ multiply(a2, 14) ^ multiply(a3, 11);
      a[3] = multiply(a0, 11) ^ multiply(a1, 13) ^ multiply(a2, 9) ^ multiply(a3, 14);
    }
  };

  addRoundKey(rounds_);
  for (int r = rounds_ - 1; r >= 1; --r) {
    inverseShiftAndSub();
    addRoundKey(r);
    inverseMixColumns();
  }
  inverseShiftAndSub();
  addRoundKey(0);
  memcpy(out, s, n);
}
