#include "update/file_crc.h"

#include "update/crc_wide.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/test_files.h"

const char kPath[] = "velorin_crc_test.bin";  // in the current directory

static uint32_t fileCrc(const std::string& bytes, bool trailerRule) {
  writeFile(kPath, bytes);
  uint32_t crc = calculateFileCrc(kPath, trailerRule);
  remove(kPath);
  return crc;
}

// Both folds against zlib (whose running value is our register's complement).
TEST(FileCrcTest, TableAndWideFoldsAgreeWithZlib) {
  uint32_t crc = 0;
  updateCrc("abc", 3, &crc);
  EXPECT_EQ(crc, 0x359A672Fu);
  std::string data = randomBytes(100003, 5);
  const auto* bytes = reinterpret_cast<const Bytef*>(data.data());
  crc = 0;
  updateCrc(data.data(), data.size(), &crc);  // through whichever fold this machine takes
  EXPECT_EQ(crc, zlibCrc(data));

  using Fold = uint32_t (*)(uint32_t, const void*, size_t);
  std::vector<std::pair<const char*, Fold>> folds = {{"table", crcFoldTable}};
  if (crcWideUsable())
    folds.push_back({"wide", crcFoldWide});
  else
    std::printf("no carry-less multiply here: only the table fold is checked\n");
  std::mt19937 rng(11);
  for (const auto& [name, fold] : folds) {
    for (uint32_t reg : {0u, 0x89ABCDEFu})
      for (size_t offset = 0; offset < 16; ++offset)
        for (size_t length = 0; length <= 700; ++length)
          ASSERT_EQ(~fold(reg, bytes + offset, length), crc32(~reg, bytes + offset, uInt(length)))
              << name << " offset " << offset << " length " << length;
    for (int trial = 0; trial < 200; ++trial) {
      size_t offset = rng() % 16, length = rng() % (data.size() - offset);
      ASSERT_EQ(~fold(0, bytes + offset, length), crc32(~0u, bytes + offset, uInt(length)))
          << name << " offset " << offset << " length " << length;
    }
  }
}

TEST(FileCrcTest, FilesMissingEmptyFromPositionAndTheTrailerRule) {
  EXPECT_EQ(calculateFileCrc("velorin_no_such_file.bin", true), 0u);
  EXPECT_EQ(fileCrc({}, true), 0xFFFFFFFFu);
  // Longer than one 4096-byte read block, not a multiple of it.
  std::string data = randomBytes(10001, 8);
  EXPECT_EQ(fileCrc(data, false), zlibCrc(data));
  EXPECT_EQ(fileCrc(data, true), zlibCrc(data));

  writeFile(kPath, data);
  FILE* f = fopen(kPath, "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fseek(f, 4099, SEEK_SET), 0);
  uint32_t crc = 0;
  updateCrcFromFile(f, &crc);
  fclose(f);
  remove(kPath);
  EXPECT_EQ(crc, zlibCrc(data.substr(4099)));
  std::string stub = randomBytes(9000, 9),
              packed = stub + std::string("0123456789abcdef\x10\0\x55\xAA", 20);
  EXPECT_EQ(fileCrc(packed, true), zlibCrc(stub));
  EXPECT_EQ(fileCrc(packed, false), zlibCrc(packed));
  // Only 0x55 0xAA with an affiliate inside the file ends a trailer.
  for (const char* end : {"\x55\xAB", "\xAA\x55", "\x54\xAA"}) {
    std::string almost = packed.substr(0, packed.size() - 2) + end;
    EXPECT_EQ(fileCrc(almost, true), zlibCrc(almost)) << almost.substr(almost.size() - 2);
  }
  std::string bogus("MZ\0\x10\x55\xAA", 6);
  EXPECT_EQ(fileCrc(bogus, true), zlibCrc(bogus));
  EXPECT_EQ(fileCrc(std::string("\0\0\x55\xAA", 4), true), 0xFFFFFFFFu);
}
