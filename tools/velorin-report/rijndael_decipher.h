// Rijndael decryption for the service side only: velorin-report uses it to
// open received bug reports. It is written byte by byte straight from the
// cipher's definition (inverse ShiftRows, inverse S-box, inverse MixColumns),
// independent of the program's table-driven encryption, so that a round trip
// through both checks each against the other. Never linked into velorin.exe.
#pragma once

#include <cstdint>

class RijndaelDecipher {
 public:
  // Key and block length each 16, 24 or 32 bytes; false for anything else.
  bool initKey(const void* key, int keyLength, int blockLength);

  // Deciphers one block of the block length; in may equal out.
  void decryptBlock(const void* in, void* out) const;

  int blockLength() const { return 4 * nb_; }

 private:
  int nb_ = 0;
  int rounds_ = 0;
  uint8_t roundKeys_[15][32] = {};  // round r: 4 * nb_ bytes, column by column
};
