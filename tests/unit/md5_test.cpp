#include "crypto/md5_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

TEST(Md5Test, PublishedExamplesAndPaddingBoundariesWholeAndPiecewise) {
  // Digest bytes 0x00 and 0x0c of "38" keep both hex digits.
  const char* suite[][2] = {{"", "d41d8cd98f00b204e9800998ecf8427e"},
                            {"abc", "900150983cd24fb0d6963f7d28e17f72"},
                            {"38", "a5771bce93e200c36f7cd9dfd0e5deaa"}};
  for (const auto& s : suite)
    EXPECT_EQ(md5Hex(s[0], strlen(s[0])), s[1]) << '"' << s[0] << '"';
  // Lengths around the padding boundary (digests from Python's hashlib), whole
  // and fed in pieces around the block size.
  const std::pair<size_t, const char*> cases[] = {
      {55, "c9e512626618c9980ef21a96597af94c"},   {56, "ecde7caa08e9f5657c863df107cac60a"},
      {63, "2f0301069e1c40af7f6c8f843b1b13f2"},   {64, "b6bf87c24b1bc334e2541387a92b981b"},
      {65, "f168246f08b6134d66bd2a10343fa9f1"},   {128, "3e85b70ffc8df5c735ecf2a8f14f1bee"},
      {1000, "2b1e78d5765de9e10495a01412a1cf22"},
  };
  for (const auto& [length, digest] : cases) {
    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i)
      data[i] = uint8_t(i * 31 + 7);
    EXPECT_EQ(md5Hex(data.data(), length), digest) << length << " bytes";
    for (size_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
      Md5Digest md5;
      for (size_t pos = 0; pos < length; pos += piece)
        md5.update(data.data() + pos, std::min(piece, length - pos));
      EXPECT_EQ(md5.finalHex(), digest) << length << " bytes in pieces of " << piece;
    }
  }
}
