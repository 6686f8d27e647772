#include "update/file_crc.h"

#include "update/crc_wide.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <random>

static std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> d(n);
  for (uint8_t& b : d)
    b = uint8_t(rng());
  return d;
}

static uint32_t zlibCrc(const std::vector<uint8_t>& d, size_t from = 0) {
  return uint32_t(crc32(0xFFFFFFFFu, d.data() + from, uInt(d.size() - from)));
}

const char kPath[] = "velorin_crc_test.bin";  // in the current directory

static const char* writeFile(const std::vector<uint8_t>& bytes) {
  std::ofstream(kPath, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return kPath;
}

static uint32_t fileCrc(const std::vector<uint8_t>& bytes, bool trailerRule) {
  const char* path = writeFile(bytes);
  uint32_t crc = calculateFileCrc(path, trailerRule);
  remove(path);
  return crc;
}

// Both folds against zlib (whose running value is our register's complement).
TEST(FileCrcTest, TableAndWideFoldsAgreeWithZlib) {
  uint32_t crc = 0;
  updateCrc("abc", 3, &crc);
  EXPECT_EQ(crc, 0x359A672Fu);
  std::vector<uint8_t> data = randomBytes(100003, 5);
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
          ASSERT_EQ(~fold(reg, data.data() + offset, length),
                    crc32(~reg, data.data() + offset, uInt(length)))
              << name << " offset " << offset << " length " << length;
    for (int trial = 0; trial < 200; ++trial) {
      size_t offset = rng() % 16, length = rng() % (data.size() - offset);
      ASSERT_EQ(~fold(0, data.data() + offset, length),
                crc32(~0u, data.data() + offset, uInt(length)))
          << name << " offset " << offset << " length " << length;
    }
  }
}

TEST(FileCrcTest, FilesMissingEmptyFromPositionAndTheTrailerRule) {
  EXPECT_EQ(calculateFileCrc("velorin_no_such_file.bin", true), 0u);
  EXPECT_EQ(fileCrc({}, true), 0xFFFFFFFFu);
  // Longer than one 4096-byte read block, not a multiple of it.
  std::vector<uint8_t> data = randomBytes(10001, 8);
  EXPECT_EQ(fileCrc(data, false), zlibCrc(data));
  EXPECT_EQ(fileCrc(data, true), zlibCrc(data));

  FILE* f = fopen(writeFile(data), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fseek(f, 4099, SEEK_SET), 0);
  uint32_t crc = 0;
  updateCrcFromFile(f, &crc);
  fclose(f);
  remove(kPath);
  EXPECT_EQ(crc, zlibCrc(data, 4099));
  std::vector<uint8_t> stub = randomBytes(9000, 9), packed = stub;
  for (char c : std::string("0123456789abcdef\x10\0\x55\xAA", 20))
    packed.push_back(uint8_t(c));
  EXPECT_EQ(fileCrc(packed, true), zlibCrc(stub));
  EXPECT_EQ(fileCrc(packed, false), zlibCrc(packed));
  // Only 0x55 0xAA with an affiliate inside the file ends a trailer.
  const uint8_t ends[][2] = {{0x55, 0xAB}, {0xAA, 0x55}, {0x54, 0xAA}};
  for (const auto& end : ends) {
    std::vector<uint8_t> almost = packed;
    almost[almost.size() - 2] = end[0];
    almost[almost.size() - 1] = end[1];
    EXPECT_EQ(fileCrc(almost, true), zlibCrc(almost)) << int(end[0]) << " " << int(end[1]);
  }
  std::vector<uint8_t> bogus = {'M', 'Z', 0x00, 0x10, 0x55, 0xAA};
  EXPECT_EQ(fileCrc(bogus, true), zlibCrc(bogus));
  EXPECT_EQ(fileCrc({0x00, 0x00, 0x55, 0xAA}, true), 0xFFFFFFFFu);
}
