#include "crypto/rijndael_cipher.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

static std::vector<uint8_t> fromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

static std::string toHex(const std::vector<uint8_t>& bytes) {
  std::string s;
  char digits[3];
  for (uint8_t b : bytes) {
    snprintf(digits, sizeof digits, "%02x", b);
    s += digits;
  }
  return s;
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
      // Rijndael with wider blocks: 32-byte block with a 16-byte key, and
      // 24-byte block with a 32-byte key.
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
    EXPECT_EQ(toHex(block), expected) << keyHex << " / " << plain;
    EXPECT_EQ(toHex(viaLoop), expected) << keyHex << " / " << plain;
  }
}

// NIST SP 800-38A, F.1.1, F.2.1 and F.3.13: AES-128, first two blocks.
TEST(RijndaelTest, ModesFollowPublishedAesExamplesAndFailuresCarryTheirTexts) {
  std::vector<uint8_t> key = fromHex("2b7e151628aed2a6abf7158809cf4f3c");
  std::vector<uint8_t> iv = fromHex("000102030405060708090a0b0c0d0e0f");
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
    EXPECT_EQ(toHex(out), c.second) << c.first;
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
      // A failed initKey leaves the cipher uninitialised.
      {[](RijndaelCipher& c) {
         try {
           c.initKey(rawKey, nullptr, 24, 8);
         } catch (const RijndaelError&) {
         }
         c.encryptBlock(buf, buf);
       },
       "Object not Initialized"},
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
}
