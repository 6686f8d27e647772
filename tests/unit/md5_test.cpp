#include "crypto/md5_digest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> d(n);
  for (size_t i = 0; i < n; ++i)
    d[i] = uint8_t(i * 31 + 7);
  return d;
}

}  // namespace

TEST(Md5Test, Rfc1321Examples) {
  struct {
    const char* text;
    const char* digest;
  } suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      // Digest bytes 0x00 and 0x0c keep both hex digits.
      {"38", "a5771bce93e200c36f7cd9dfd0e5deaa"},
  };
  for (const auto& s : suite)
    EXPECT_EQ(md5Hex(s.text, strlen(s.text)), s.digest) << '"' << s.text << '"';
}

// Lengths around the padding boundary, checked against Python's hashlib.
TEST(Md5Test, PaddingBoundariesMatchIndependentDigest) {
  struct {
    size_t length;
    const char* digest;
  } cases[] = {
      {55, "c9e512626618c9980ef21a96597af94c"}, {56, "ecde7caa08e9f5657c863df107cac60a"},
      {63, "2f0301069e1c40af7f6c8f843b1b13f2"}, {64, "b6bf87c24b1bc334e2541387a92b981b"},
      {65, "f168246f08b6134d66bd2a10343fa9f1"}, {1000, "2b1e78d5765de9e10495a01412a1cf22"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> data = pattern(c.length);
    EXPECT_EQ(md5Hex(data.data(), data.size()), c.digest) << c.length << " bytes";
  }
}

TEST(Md5Test, PiecewiseUpdatesEqualOneUpdate) {
  std::vector<uint8_t> data = pattern(1000);
  const std::string whole = md5Hex(data.data(), data.size());
  for (size_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
    Md5Digest digest;
    for (size_t pos = 0; pos < data.size(); pos += piece)
      digest.update(data.data() + pos, std::min(piece, data.size() - pos));
    EXPECT_EQ(digest.finalHex(), whole) << "pieces of " << piece;
  }
}
