// The digest as a string, kept apart from the digest itself so that the
// shipped program links no string library through it.
#include <string>

#include "crypto/md5_digest.h"

std::string Md5Digest::finalHex() {
  char text[kMd5HexSize];
  finalHexInto(text);
  return text;
}

std::string md5Hex(const void* data, size_t length) {
  char text[kMd5HexSize];
  md5HexInto(data, length, text);
  return text;
}
