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

uint32_t bufferCrc(const std::vector<uint8_t>& d) {
  uint32_t crc = 0;
  updateCrc(d.data(), d.size(), &crc);
  return crc;
}

// A file in the current directory, removed when the test ends.
class TempFile {
 public:
  explicit TempFile(const std::vector<uint8_t>& bytes) : path_("velorin_crc_test.bin") {
    FILE* f = fopen(path_.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
      fclose(f);
    }
  }
  ~TempFile() { remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

std::vector<uint8_t> withTrailer(std::vector<uint8_t> stub, const std::string& affiliate) {
  stub.insert(stub.end(), affiliate.begin(), affiliate.end());
  stub.push_back(uint8_t(affiliate.size()));
  stub.push_back(uint8_t(affiliate.size() >> 8));
  stub.push_back(0x55);
  stub.push_back(0xAA);
  return stub;
}

}  // namespace

TEST(FileCrcTest, KnownValuesAndZlibAgreement) {
  uint32_t crc = 0;
  updateCrc("abc", 3, &crc);
  EXPECT_EQ(crc, 0x359A672Fu);
  crc = 0;
  updateCrc("", 0, &crc);
  EXPECT_EQ(crc, 0xFFFFFFFFu);
  // Through whichever fold this machine takes.
  std::vector<uint8_t> data = randomBytes(100003, 5);
  crc = 0;
  updateCrc(data.data(), data.size(), &crc);
  EXPECT_EQ(crc, crc32(0xFFFFFFFFu, data.data(), uInt(data.size())));
}

// Both folds, the tables every processor runs and the carry-less multiply
// where this machine has it, against zlib: every length around the 64-byte
// and 16-byte steps of the vector path and the 512-byte lane threshold of the
// tables, every start alignment, and a register that is not zero (zlib's
// running value is the complement of our raw register).
TEST(FileCrcTest, TableAndWideFoldsAgreeWithZlib) {
  using Fold = uint32_t (*)(uint32_t, const void*, size_t);
  std::vector<std::pair<const char*, Fold>> folds = {{"table", crcFoldTable}};
  if (crcWideUsable())
    folds.push_back({"wide", crcFoldWide});
  else
    std::printf("no carry-less multiply here: only the table fold is checked\n");
  std::vector<uint8_t> data = randomBytes(70000, 7);
  for (const auto& [name, fold] : folds) {
    for (uint32_t reg : {0u, 0x89ABCDEFu}) {
      for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t length = 0; length <= 700; ++length) {
          ASSERT_EQ(~fold(reg, data.data() + offset, length),
                    crc32(~reg, data.data() + offset, uInt(length)))
              << name << " offset " << offset << " length " << length;
        }
      }
    }
    // Long inputs: many rounds of the four lanes, and the joining.
    std::mt19937 rng(11);
    for (int trial = 0; trial < 200; ++trial) {
      size_t offset = rng() % 16;
      size_t length = rng() % (data.size() - offset);
      ASSERT_EQ(~fold(0, data.data() + offset, length),
                crc32(~0u, data.data() + offset, uInt(length)))
          << name << " offset " << offset << " length " << length;
    }
  }
}

TEST(FileCrcTest, FilesMissingEmptyAndFromPosition) {
  EXPECT_EQ(calculateFileCrc("velorin_no_such_file.bin", false), 0u);
  EXPECT_EQ(calculateFileCrc("velorin_no_such_file.bin", true), 0u);
  {
    TempFile empty({});
    EXPECT_EQ(calculateFileCrc(empty.path(), false), 0xFFFFFFFFu);
    EXPECT_EQ(calculateFileCrc(empty.path(), true), 0xFFFFFFFFu);
  }
  // Longer than one 4096-byte read block, not a multiple of it.
  std::vector<uint8_t> data = randomBytes(10001, 8);
  TempFile file(data);
  EXPECT_EQ(calculateFileCrc(file.path(), false), bufferCrc(data));
  EXPECT_EQ(calculateFileCrc(file.path(), true), bufferCrc(data));

  FILE* f = fopen(file.path(), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fseek(f, 4099, SEEK_SET), 0);
  uint32_t crc = 0;
  updateCrcFromFile(f, &crc);
  fclose(f);
  EXPECT_EQ(crc, crc32(0xFFFFFFFFu, data.data() + 4099, uInt(data.size() - 4099)));
}

TEST(FileCrcTest, TrailerRuleSkipsAffiliateTextLengthAndSignature) {
  std::vector<uint8_t> stub = randomBytes(9000, 9);
  const uint32_t bare = bufferCrc(stub);
  const std::string affiliate(52, 'a');
  std::vector<uint8_t> packedA = withTrailer(stub, affiliate);
  std::vector<uint8_t> packedB = withTrailer(stub, "0123456789abcdef");
  {
    TempFile file(packedA);
    EXPECT_EQ(calculateFileCrc(file.path(), true), bare);
    EXPECT_EQ(calculateFileCrc(file.path(), false), bufferCrc(packedA));
    EXPECT_NE(calculateFileCrc(file.path(), false), bare);
  }
  {
    TempFile file(packedB);
    EXPECT_EQ(calculateFileCrc(file.path(), true), bare);
  }
  // Only 0x55 followed by 0xAA ends a trailer: any other last byte after 0x55,
  // or the two bytes swapped, leaves the whole file checksummed.
  for (const auto& ending : {std::vector<uint8_t>{0x55, 0xAB}, std::vector<uint8_t>{0x55, 0x00},
                             std::vector<uint8_t>{0xAA, 0x55}, std::vector<uint8_t>{0x54, 0xAA}}) {
    std::vector<uint8_t> almost = packedB;
    almost[almost.size() - 2] = ending[0];
    almost[almost.size() - 1] = ending[1];
    TempFile file(almost);
    EXPECT_EQ(calculateFileCrc(file.path(), true), bufferCrc(almost))
        << std::hex << int(ending[0]) << " " << int(ending[1]);
  }
  // An affiliate length reaching before the start of the file is no trailer.
  std::vector<uint8_t> bogus = {'M', 'Z', 0x00, 0x10, 0x55, 0xAA};
  {
    TempFile file(bogus);
    EXPECT_EQ(calculateFileCrc(file.path(), true), bufferCrc(bogus));
  }
  // A file that is nothing but a trailer with empty affiliate text covers
  // no bytes: its checksum is the empty one.
  std::vector<uint8_t> onlyTrailer = {0x00, 0x00, 0x55, 0xAA};
  TempFile file(onlyTrailer);
  EXPECT_EQ(calculateFileCrc(file.path(), true), 0xFFFFFFFFu);
}
