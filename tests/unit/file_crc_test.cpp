#include "update/file_crc.h"

#include "update/crc_wide.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> d(n);
  for (uint8_t& b : d)
    b = uint8_t(rng());
  return d;
}

uint32_t zlibCrc(const std::vector<uint8_t>& d, size_t from = 0) {
  return uint32_t(crc32(0xFFFFFFFFu, d.data() + from, uInt(d.size() - from)));
}

const char kPath[] = "velorin_crc_test.bin";  // in the current directory

const char* writeFile(const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(kPath, "wb");
  EXPECT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  return kPath;
}

uint32_t fileCrc(const std::vector<uint8_t>& bytes, bool trailerRule) {
  const char* path = writeFile(bytes);
  uint32_t crc = calculateFileCrc(path, trailerRule);
  remove(path);
  return crc;
}

std::vector<uint8_t> withTrailer(std::vector<uint8_t> stub, const std::string& affiliate) {
  stub.insert(stub.end(), affiliate.begin(), affiliate.end());
  for (uint8_t b :
       {uint8_t(affiliate.size()), uint8_t(affiliate.size() >> 8), uint8_t(0x55), uint8_t(0xAA)})
    stub.push_back(b);
  return stub;
}

}  // namespace

// Both folds against zlib (whose running value is our register's complement):
// every length around the vector steps and the tables' lane threshold, every alignment.
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
    // Long inputs: many rounds of the four lanes, and the joining.
    for (int trial = 0; trial < 200; ++trial) {
      size_t offset = rng() % 16, length = rng() % (data.size() - offset);
      ASSERT_EQ(~fold(0, data.data() + offset, length),
                crc32(~0u, data.data() + offset, uInt(length)))
          << name << " offset " << offset << " length " << length;
    }
  }
}

TEST(FileCrcTest, FilesMissingEmptyAndFromPosition) {
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
}

TEST(FileCrcTest, TrailerRuleSkipsAffiliateTextLengthAndSignature) {
  std::vector<uint8_t> stub = randomBytes(9000, 9);
  const uint32_t bare = zlibCrc(stub);
  std::vector<uint8_t> packedB = withTrailer(stub, "0123456789abcdef");
  EXPECT_EQ(fileCrc(packedB, true), bare);
  EXPECT_EQ(fileCrc(packedB, false), zlibCrc(packedB));
  // Only 0x55 followed by 0xAA ends a trailer: any other last byte after 0x55,
  // or the two bytes swapped, leaves the whole file checksummed.
  for (const auto& ending : {std::vector<uint8_t>{0x55, 0xAB}, std::vector<uint8_t>{0xAA, 0x55},
                             std::vector<uint8_t>{0x54, 0xAA}}) {
    std::vector<uint8_t> almost = packedB;
    almost[almost.size() - 2] = ending[0];
    almost[almost.size() - 1] = ending[1];
    EXPECT_EQ(fileCrc(almost, true), zlibCrc(almost)) << int(ending[0]) << " " << int(ending[1]);
  }
  // An affiliate length reaching before the start of the file is no trailer;
  // a file that is nothing but an empty trailer covers no bytes.
  std::vector<uint8_t> bogus = {'M', 'Z', 0x00, 0x10, 0x55, 0xAA};
  EXPECT_EQ(fileCrc(bogus, true), zlibCrc(bogus));
  EXPECT_EQ(fileCrc({0x00, 0x00, 0x55, 0xAA}, true), 0xFFFFFFFFu);
}
