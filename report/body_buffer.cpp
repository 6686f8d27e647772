#include "report/body_buffer.h"

#include <zlib.h>

#include <cstring>
#include <new>

#include "report/report_cipher.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kHex[] = "0123456789abcdef";

// Appends one Base64 character, form-encoded: letters and digits as they
// are, "+", "/" and "=" as "%2b", "%2f" and "%3d".
size_t putEncoded(uint8_t* out, char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
    out[0] = static_cast<uint8_t>(c);
    return 1;
  }
  unsigned char u = static_cast<unsigned char>(c);
  out[0] = '%';
  out[1] = static_cast<uint8_t>(kHex[u >> 4]);
  out[2] = static_cast<uint8_t>(kHex[u & 15]);
  return 3;
}

}  // namespace

uint8_t* encodeReportBody(const uint8_t* packed, size_t length, size_t* bodyLength) {
  *bodyLength = 0;
  // Every Base64 character takes at most three bytes once form-encoded.
  const size_t base64Length = (length + 2) / 3 * 4;
  uint8_t* body = new (std::nothrow) uint8_t[5 + 3 * base64Length];
  if (!body)
    return nullptr;
  memcpy(body, "DATA=", 5);
  size_t used = 5;
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    uint32_t v = (uint32_t(packed[i]) << 16) | (uint32_t(packed[i + 1]) << 8) | packed[i + 2];
    used += putEncoded(body + used, kAlphabet[v >> 18]);
    used += putEncoded(body + used, kAlphabet[(v >> 12) & 63]);
    used += putEncoded(body + used, kAlphabet[(v >> 6) & 63]);
    used += putEncoded(body + used, kAlphabet[v & 63]);
  }
  if (i < length) {
    uint32_t v = uint32_t(packed[i]) << 16;
    if (i + 1 < length)
      v |= uint32_t(packed[i + 1]) << 8;
    used += putEncoded(body + used, kAlphabet[v >> 18]);
    used += putEncoded(body + used, kAlphabet[(v >> 12) & 63]);
    used += putEncoded(body + used, i + 1 < length ? kAlphabet[(v >> 6) & 63] : '=');
    used += putEncoded(body + used, '=');
  }
  *bodyLength = used;
  return body;
}

uint8_t* buildReportBodyBuffer(const void* report, size_t length, size_t* bodyLength) {
  *bodyLength = 0;
  size_t sealedLength = 0;
  uint8_t* sealed = encryptReport(report, length, &sealedLength);
  if (!sealed)
    return nullptr;
  // The whole zlib stream: ciphertext does not compress, so a buffer of the
  // input's size would cut the stream and the service could not inflate it.
  uLongf packedLength = compressBound(static_cast<uLong>(sealedLength));
  uint8_t* packed = new (std::nothrow) uint8_t[packedLength];
  uint8_t* body = nullptr;
  if (packed && compress(packed, &packedLength, sealed, static_cast<uLong>(sealedLength)) == Z_OK)
    body = encodeReportBody(packed, packedLength, bodyLength);
  delete[] sealed;
  delete[] packed;
  return body;
}
