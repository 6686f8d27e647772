#include "report/body_buffer.h"

#include <gtest/gtest.h>

#include "report/report_cipher.h"
#include "report/reported_list.h"

// The sealing itself comes back through the report tool's decoder tests.
TEST(ReportCipher, PaddedLengthOverflowAndCallersBuffer) {
  EXPECT_EQ(reportCipherLength(32), 32u);
  EXPECT_EQ(reportCipherLength(size_t(-1)), 0u);
  const char text[33] = "0123456789abcdef0123456789abcdef";
  uint8_t out[64];
  EXPECT_EQ(encryptReportInto(text, 33, out, 63), 0u);
  EXPECT_EQ(encryptReportInto(text, 33, out, 64), 64u) << "exact fit";
}

TEST(BodyBuffer, Base64FormEncodedAfterDataField) {
  const char* cases[][2] = {
      {"", "DATA="},        {"f", "DATA=Zg%3d%3d"},        {"fo", "DATA=Zm8%3d"},
      {"foo", "DATA=Zm9v"}, {"foob", "DATA=Zm9vYg%3d%3d"}, {"\xFB\xFF\xBF", "DATA=%2b%2f%2b%2f"}};
  for (const auto& c : cases) {
    size_t length = 0;
    std::unique_ptr<uint8_t[]> body(
        encodeReportBody(reinterpret_cast<const uint8_t*>(c[0]), strlen(c[0]), &length));
    ASSERT_TRUE(body);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(body.get()), length), c[1]);
  }
}

TEST(ReportedList, LittleEndianEntriesInWholeListsAndAFullListDropsItsOldest) {
  uint8_t list[kReportedListBytes];
  size_t size = 0;
  for (uint32_t crc : {0x11111111u, 0x22222222u, 0xA1B2C3D4u})
    size = reportedListAppend(list, size, crc);
  ASSERT_EQ(size, 12u);
  EXPECT_EQ(list[8], 0xD4);
  EXPECT_EQ(list[11], 0xA1);
  EXPECT_TRUE(reportedListContains(list, size, 0xA1B2C3D4u));  // last entry
  EXPECT_TRUE(reportedListContains(list, size, 0x11111111u));  // first entry
  EXPECT_FALSE(reportedListContains(list, size, 0xD4C3B2A1u));
  EXPECT_FALSE(reportedListContains(list, 6, 0x11111111u));  // not whole entries
  EXPECT_FALSE(reportedListContains(list, 0, 0));
  EXPECT_FALSE(reportedListContains(list, kReportedListBytes + 4, 0x11111111u));
  // A stored list of a bad size starts afresh.
  memset(list, 0xAB, sizeof list);
  EXPECT_EQ(reportedListAppend(list, 6, 7u), 4u);
  EXPECT_TRUE(reportedListContains(list, 4, 7u));
  EXPECT_EQ(reportedListAppend(list, kReportedListBytes + 4, 9u), 4u);
  size = 0;
  for (uint32_t i = 1; i <= kReportedListEntries; ++i)
    size = reportedListAppend(list, size, i);
  ASSERT_EQ(size, kReportedListBytes);  // exactly full: nothing dropped yet
  EXPECT_TRUE(reportedListContains(list, size, 1));
  size = reportedListAppend(list, size, 0xFEEDFACEu);
  EXPECT_EQ(size, kReportedListBytes);
  EXPECT_FALSE(reportedListContains(list, size, 1));
  EXPECT_TRUE(reportedListContains(list, size, 2));
  EXPECT_TRUE(reportedListContains(list, size, kReportedListEntries));
  EXPECT_EQ(list[kReportedListBytes - 4], 0xCE);
}
