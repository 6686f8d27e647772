// The reported-file lists: packed arrays of 32-bit file checksums, 4
// little-endian bytes each, no count and no header. A list is read into a
// buffer of kReportedListBytes, so it holds at most kReportedListEntries.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kReportedListBytes = 1024;
constexpr size_t kReportedListEntries = kReportedListBytes / 4;

// True when crc is one of the size / 4 entries. A size that is not a whole
// number of entries, or larger than a list can be, holds nothing.
bool reportedListContains(const uint8_t* list, size_t size, uint32_t crc);

// Appends crc to the list in place (list holds kReportedListBytes) and
// returns the new size. A size that is not a valid list starts the list
// afresh; a full list drops its oldest entry first, so the stored list always
// fits the buffer it is read back into.
size_t reportedListAppend(uint8_t* list, size_t size, uint32_t crc);
