#include "report/report_cipher.h"

#include <cstring>
#include <new>

#include "crypto/rijndael_cipher.h"

const char kReportKey[33] = "C4e7902bD1A35F86e0B2c7D94A61f3E8";
const char kReportChain[33] = "8D21C0A7F3964E5B07D2AC6149E8B35F";

namespace {
const size_t kBlock = 32;
}

size_t reportCipherLength(size_t n) {
  if (n > static_cast<size_t>(-1) - 2 * kBlock)
    return 0;
  return n <= kBlock ? kBlock : kBlock * (n / kBlock + 1);
}

size_t encryptReportInto(const void* data, size_t n, uint8_t* out, size_t outSize) {
  const size_t padded = reportCipherLength(n);
  if (padded == 0 || outSize < padded)
    return 0;
  try {
    RijndaelCipher cipher;
    cipher.initKey(kReportKey, kReportChain, 32, 32);
    // Block by block through a zero-padded copy, so the input need not be
    // padded in place and nothing is allocated.
    const uint8_t* in = static_cast<const uint8_t*>(data);
    for (size_t pos = 0; pos < padded; pos += kBlock) {
      uint8_t block[kBlock] = {};
      if (pos < n)
        memcpy(block, in + pos, n - pos < kBlock ? n - pos : kBlock);
      cipher.encrypt(block, out + pos, kBlock, RijndaelCipher::ECB);
    }
  } catch (const RijndaelError&) {
    // Cannot happen with the fixed key and lengths; never let it escape.
    return 0;
  }
  return padded;
}

uint8_t* encryptReport(const void* data, size_t n, size_t* pLength) {
  *pLength = 0;
  const size_t padded = reportCipherLength(n);
  if (padded == 0)
    return nullptr;
  uint8_t* out = new (std::nothrow) uint8_t[padded];
  if (!out)
    return nullptr;
  if (encryptReportInto(data, n, out, padded) != padded) {
    delete[] out;
    return nullptr;
  }
  *pLength = padded;
  return out;
}
