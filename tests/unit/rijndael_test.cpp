#include "crypto/rijndael_cipher.h"

#include "crypto/md5_digest.h"

#include <gtest/gtest.h>

static std::vector<uint8_t> fromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

const char kKey32[] = "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe";
const char kPlain32[] = "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8";

TEST(RijndaelTest, PublishedVectorsOnBothPaths) {
  const std::tuple<std::string, std::string, std::string> vectors[] = {
      // AES examples of FIPS-197, appendix C: 10, 12 and 14 rounds.
      {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
       "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
       "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
      // Wider blocks: 32 bytes with a 16-byte key, 24 bytes with a 32-byte key.
      {std::string(kKey32, 32), kPlain32,
       "7d15479076b69a46ffb3b3beae97ad8313f622f67fedb487de9f06b9ed9c8f19"},
      {kKey32, std::string(kPlain32, 48), "0ebacf199e3315c2e34b24fcc7c46ef4388aa475d66c194c"},
  };
  for (const auto& [keyHex, plain, expected] : vectors) {
    std::vector<uint8_t> key = fromHex(keyHex), block = fromHex(plain), viaLoop = block;
    RijndaelCipher cipher;
    cipher.initKey(key.data(), nullptr, int(key.size()), int(block.size()));
    cipher.encryptBlock(block.data(), block.data());
    cipher.encryptBlockGeneric(viaLoop.data(), viaLoop.data());
    EXPECT_EQ(block, fromHex(expected)) << keyHex << " / " << plain;
    EXPECT_EQ(viaLoop, fromHex(expected)) << keyHex << " / " << plain;
  }
}

// NIST SP 800-38A, F.1.1, F.2.1 and F.3.13: AES-128, first two blocks.
TEST(RijndaelTest, ModesFollowPublishedAesExamplesAndFailuresCarryTheirTexts) {
  const std::vector<uint8_t> key = fromHex("2b7e151628aed2a6abf7158809cf4f3c"),
                             iv = fromHex("000102030405060708090a0b0c0d0e0f");
  std::vector<uint8_t> plain =
      fromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
  const char* ecb = "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf";
  const std::pair<int, const char*> cases[] = {
      {RijndaelCipher::ECB, ecb},
      {RijndaelCipher::CBC, "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"},
      {RijndaelCipher::CFB, "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"},
      {7, ecb},  // an unknown mode is ECB
  };
  for (const auto& c : cases) {
    RijndaelCipher cipher;
    cipher.initKey(key.data(), iv.data(), 16, 16);
    std::vector<uint8_t> out(plain.size());
    cipher.encrypt(plain.data(), out.data(), plain.size(), c.first);
    EXPECT_EQ(out, fromHex(c.second)) << c.first;
  }
  static const uint8_t rawKey[32] = {1};
  static uint8_t buf[64];
  const std::pair<void (*)(RijndaelCipher&), const char*> failures[] = {
      {[](RijndaelCipher& c) { c.initKey(nullptr, nullptr, 17, 17); }, "Empty key"},
      {[](RijndaelCipher& c) { c.initKey(rawKey, nullptr, 20, 17); }, "Incorrect key length"},
      {[](RijndaelCipher& c) { c.initKey(rawKey, nullptr, 32, 8); }, "Incorrect block length"},
      {[](RijndaelCipher& c) { c.encryptBlock(buf, buf); }, "Object not Initialized"},
      {[](RijndaelCipher& c) { c.initKey(rawKey, nullptr, 32, 32), c.encrypt(buf, buf, 40, 0); },
       "Data not multiple of Block Size"},
  };
  for (const auto& c : failures) {
    RijndaelCipher cipher;
    std::string thrown = "(nothing thrown)";
    try {
      c.first(cipher);
    } catch (const RijndaelError& e) {
      thrown = e.what();
    }
    EXPECT_EQ(thrown, c.second);
  }
  // A failed initKey leaves the cipher uninitialised.
  RijndaelCipher cipher;
  EXPECT_THROW(cipher.initKey(rawKey, nullptr, 24, 8), RijndaelError);
  EXPECT_THROW(cipher.encryptBlock(buf, buf), RijndaelError);
}

TEST(Md5Test, PublishedExamplesAndPaddingBoundariesWholeAndPiecewise) {
  // Digest bytes 0x00 and 0x0c of "38" keep both hex digits.
  const char* suite[][2] = {{"", "d41d8cd98f00b204e9800998ecf8427e"},
                            {"abc", "900150983cd24fb0d6963f7d28e17f72"},
                            {"38", "a5771bce93e200c36f7cd9dfd0e5deaa"}};
  for (const auto& s : suite)
    EXPECT_EQ(md5Hex(s[0], strlen(s[0])), s[1]) << '"' << s[0] << '"';
  // Around the padding boundary (Python's hashlib), whole and in pieces.
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
