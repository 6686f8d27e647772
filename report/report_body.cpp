#include "report/report_body.h"

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "report/report_cipher.h"

std::string base64Encode(const void* data, size_t length) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const uint8_t* in = static_cast<const uint8_t*>(data);
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += alphabet[v & 63];
  }
  if (i < length) {
    uint32_t v = uint32_t(in[i]) << 16;
    if (i + 1 < length)
      v |= uint32_t(in[i + 1]) << 8;
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += i + 1 < length ? alphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string formEncode(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      out += char(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      char escape[4];
      snprintf(escape, sizeof escape, c < 0x10 ? "%%0%X" : "%%%x", unsigned(c));
      out += escape;
    }
  }
  return out;
}

bool buildBugReportBody(const void* report, size_t length, std::string* body) {
  body->clear();
  try {
    size_t sealedLength = 0;
    std::unique_ptr<uint8_t[]> sealed(encryptReport(report, length, &sealedLength));
    if (!sealed)
      return false;

    // Ciphertext does not compress: the stream is longer than its input, so
    // a buffer of the input's size would cut it and the service could not
    // inflate the report.
    uLongf packedLength = compressBound(uLong(sealedLength));
    std::vector<uint8_t> packed(packedLength);
    if (compress(packed.data(), &packedLength, sealed.get(), uLong(sealedLength)) != Z_OK)
      return false;

    *body = "DATA=" + formEncode(base64Encode(packed.data(), packedLength));
    return true;
  } catch (const std::bad_alloc&) {
    body->clear();
    return false;
  }
}
