#include "report/reported_list.h"

#include <cstring>

namespace {

bool isValidSize(size_t size) {
  return size % 4 == 0 && size <= kReportedListBytes;
}

}  // namespace

bool reportedListContains(const uint8_t* list, size_t size, uint32_t crc) {
  if (!isValidSize(size))
    return false;
  for (size_t pos = 0; pos < size; pos += 4) {
    uint32_t entry = static_cast<uint32_t>(list[pos]) | static_cast<uint32_t>(list[pos + 1]) << 8 |
                     static_cast<uint32_t>(list[pos + 2]) << 16 |
                     static_cast<uint32_t>(list[pos + 3]) << 24;
    if (entry == crc)
      return true;
  }
  return false;
}

size_t reportedListAppend(uint8_t* list, size_t size, uint32_t crc) {
  if (!isValidSize(size))
    size = 0;
  if (size == kReportedListBytes) {
    memmove(list, list + 4, kReportedListBytes - 4);
    size -= 4;
  }
  list[size] = static_cast<uint8_t>(crc);
  list[size + 1] = static_cast<uint8_t>(crc >> 8);
  list[size + 2] = static_cast<uint8_t>(crc >> 16);
  list[size + 3] = static_cast<uint8_t>(crc >> 24);
  return size + 4;
}
