// Rijndael block cipher, encryption only, in its full generality: key and
// block length are each 16, 24 or 32 bytes. The report sealing uses a 32-byte
// key with a 32-byte block (Rijndael-256, not AES) in ECB mode. Nothing in the
// program deciphers; the service-side decoder lives with the host tools.
//
// Words are big-endian views of bytes: byte 4i is the top byte of word i.
// Failures throw RijndaelError carrying one fixed message text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>

class RijndaelError : public std::exception {
 public:
  explicit RijndaelError(const char* text) : text_(text) {}
  const char* what() const noexcept override { return text_; }

 private:
  const char* text_;  // always a string literal
};

class RijndaelCipher {
 public:
  enum Mode { ECB = 0, CBC = 1, CFB = 2 };  // any other value acts as ECB
  enum { MAX_BLOCK = 32, MAX_ROUNDS = 14 };

  RijndaelCipher();
  virtual ~RijndaelCipher();

  // Reads keyLength bytes of key and blockLength bytes of chain (the CBC/CFB
  // starting block; a null chain counts as zeros). Throws "Empty key",
  // "Incorrect key length" or "Incorrect block length", in that order of
  // checking; a failed call leaves the object as it was.
  void initKey(const void* key, const void* chain, int keyLength, int blockLength);

  // Enciphers one block. The whole input is read before output is written,
  // so in and out may be the same buffer. 16-byte blocks take the unrolled path.
  void encryptBlock(const void* in, void* out);

  // The table-driven path for any block length, also for 16-byte blocks.
  // Kept callable so that the unrolled path can be checked against it.
  void encryptBlockGeneric(const void* in, void* out);

  // Enciphers length bytes, a whole non-zero number of blocks, in the given
  // mode. The chain carries over to the next call. in may equal out.
  void encrypt(const void* in, void* out, size_t length, int mode);

  // buffer[i] ^= data[i] for i below the block length.
  void xorBlock(void* buffer, const void* data);

  int blockLength() const { return blockLength_; }

 private:
  void requireKey() const;
  void encryptBlock16(const uint8_t* in, uint8_t* out) const;
  template <int Nb>
  void encryptBlockNb(const uint8_t* in, uint8_t* out) const;

  bool keyInitialised_;
  uint32_t roundKeys_[MAX_ROUNDS + 1][8];
  int keyLength_;
  int blockLength_;
  int rounds_;
  uint8_t chain_[MAX_BLOCK];
};
