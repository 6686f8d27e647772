// MD5 message digest (RFC 1321), rendered as 32 lower-case hexadecimal
// characters. Install tracking signs its requests with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// 32 hex characters and the terminator.
constexpr size_t kMd5HexSize = 33;

class Md5Digest {
 public:
  Md5Digest();
  virtual ~Md5Digest();

  // Absorbs length bytes; may be called any number of times.
  void update(const void* data, size_t length);

  // Pads, finishes and returns the digest as 32 lower-case hex characters.
  // The object is spent afterwards.
  std::string finalHex();
  // The same into a buffer, for code that keeps the string library out of
  // the shipped program.
  void finalHexInto(char out[kMd5HexSize]);

 private:
  void transform(const uint8_t block[64]);

  uint8_t buffer_[64];  // bytes of the current incomplete block
  uint32_t countLow_;   // message length in bits, low word
  uint32_t countHigh_;  // carry of the bit count
  uint32_t state_[4];   // A, B, C, D
};

// The digest of one buffer.
std::string md5Hex(const void* data, size_t length);
void md5HexInto(const void* data, size_t length, char out[kMd5HexSize]);
