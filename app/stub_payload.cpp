#include "app/stub_payload.h"

#include <cstring>

#include "update/target_path.h"

namespace {

uint16_t le16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

PayloadResult corrupt(StubPayload* out) {
  memset(out, 0, sizeof *out);
  return PAYLOAD_CORRUPT;
}

}  // namespace

bool isPlainFileName(const char* name) {
  size_t length = strnlen(name, kCarriedNameSize);
  if (length == 0 || length >= kCarriedNameSize)
    return false;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 32 || strchr("\\/:<>\"|?*", c))
      return false;
  }
  // Dots-only names ("..") and device names ("NUL", "com1.dll").
  return isSafeTargetPath(name) && strcmp(name, ".") != 0;
}

bool isValidAffiliate(const char* text) {
  size_t length = strnlen(text, kAffiliateSize);
  if (length == 0 || length >= kAffiliateSize)
    return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_';
    if (!ok)
      return false;
  }
  return true;
}

bool readFromMemory(void* context, uint64_t offset, void* buffer, size_t size) {
  const MemoryImage* image = static_cast<const MemoryImage*>(context);
  if (offset > image->size || size > image->size - offset)
    return false;
  memcpy(buffer, image->data + offset, size);
  return true;
}

PayloadResult readStubPayload(uint64_t fileSize,
                              PayloadReader read,
                              void* context,
                              StubPayload* out) {
  memset(out, 0, sizeof *out);
  unsigned char word[4];
  if (fileSize < 2 || !read(context, fileSize - 2, word, 2))
    return corrupt(out);
  if (word[0] != kTailSignature[0] || word[1] != kTailSignature[1])
    return PAYLOAD_NONE;

  if (fileSize < kTailFixedSize || !read(context, fileSize - 4, word, 2))
    return corrupt(out);
  uint64_t affiliateLength = le16(word);
  if (affiliateLength >= kAffiliateSize || fileSize < kTailFixedSize + affiliateLength)
    return corrupt(out);
  uint64_t affiliateAt = fileSize - 4 - affiliateLength;
  if (!read(context, affiliateAt, out->szAffiliate, static_cast<size_t>(affiliateLength)))
    return corrupt(out);
  out->szAffiliate[affiliateLength] = '\0';
  if (strlen(out->szAffiliate) != affiliateLength)
    return corrupt(out);  // a zero inside the text would cut it silently

  if (!read(context, fileSize - 12 - affiliateLength, word, 4))
    return corrupt(out);
  uint64_t tableSize = le32(word);
  uint64_t tableEnd = fileSize - 12 - affiliateLength;
  if (tableSize > tableEnd)
    return corrupt(out);
  uint64_t tableStart = tableEnd - tableSize;

  uint64_t at = tableStart;
  while (at < tableEnd) {
    if (out->nFiles == kMaxCarriedFiles || tableEnd - at < 10)
      return corrupt(out);
    if (!read(context, at, word, 2))
      return corrupt(out);
    uint64_t nameLength = le16(word);
    if (nameLength == 0 || nameLength >= kCarriedNameSize || tableEnd - at < 10 + nameLength)
      return corrupt(out);
    CarriedFile* file = &out->files[out->nFiles];
    unsigned char numbers[8];
    if (!read(context, at + 2, file->szName, static_cast<size_t>(nameLength)) ||
        !read(context, at + 2 + nameLength, numbers, sizeof numbers))
      return corrupt(out);
    file->szName[nameLength] = '\0';
    if (strlen(file->szName) != nameLength || !isPlainFileName(file->szName))
      return corrupt(out);
    uint32_t position = le32(numbers);
    file->ulSize = le32(numbers + 4);
    // 1-based, and the whole block before the table.
    if (position == 0 || position - 1 > tableStart || file->ulSize > tableStart - (position - 1))
      return corrupt(out);
    file->ulPosition = position - 1;
    ++out->nFiles;
    at += 10 + nameLength;
  }
  return PAYLOAD_OK;
}
