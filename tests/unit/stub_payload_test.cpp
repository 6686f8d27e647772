// Tails built here from the layout; nothing of a damaged tail may be taken.
#include "app/stub_payload.h"

#include <gtest/gtest.h>

#include "app/log.h"
#include "app/stub_expansion.h"
#include "tests/test_files.h"

namespace {

PayloadResult readTail(const std::string& d, StubPayload* out) {
  MemoryImage image = {reinterpret_cast<const unsigned char*>(d.data()), d.size()};
  return readStubPayload(d.size(), readFromMemory, &image, out);
}

const std::string kImage = "MZ" + std::string(4000, '\x90');
const std::string kAffiliate = "0123456789abcdef0123456789abcdef01234567890123456789";

}  // namespace

TEST(StubPayloadTest, ReadsEveryEntryAndTheAffiliateUpToTheLimits) {
  std::string atl(35328, 'L');
  std::string d = packedStub(kImage, {{"atl98.dll", atl}, {"b", ""}, {"c.txt", "x"}}, kAffiliate);
  StubPayload p;
  ASSERT_EQ(readTail(d, &p), PAYLOAD_OK);
  EXPECT_STREQ(p.szAffiliate, kAffiliate.c_str());
  ASSERT_EQ(p.nFiles, 3u);
  EXPECT_STREQ(p.files[0].szName, "atl98.dll");
  EXPECT_EQ(p.files[0].ulPosition, kImage.size());
  EXPECT_EQ(d.substr(p.files[0].ulPosition, p.files[0].ulSize), atl);
  EXPECT_STREQ(p.files[2].szName, "c.txt");
  EXPECT_EQ(d.substr(p.files[2].ulPosition, p.files[2].ulSize), "x");

  // The limits are taken: 10 entries, a 259-character name and affiliate 255; T = 0.
  CarriedBlocks ten(9, {"f", "data"});
  ten.push_back({std::string(259, 'n'), "last"});
  ASSERT_EQ(readTail(packedStub(kImage, ten, std::string(255, 'a')), &p), PAYLOAD_OK);
  EXPECT_EQ(p.nFiles, 10u);
  EXPECT_EQ(std::string(p.szAffiliate), std::string(255, 'a'));
  ASSERT_EQ(readTail(packedStub(kImage, {}, "aff"), &p), PAYLOAD_OK);
  EXPECT_EQ(p.nFiles, 0u);
  EXPECT_STREQ(p.szAffiliate, "aff");

  // No signature: nothing carried.
  EXPECT_EQ(readTail(kImage, &p), PAYLOAD_NONE);
  EXPECT_EQ(readTail(std::string(1, '\xAA'), &p), PAYLOAD_CORRUPT);
}

TEST(StubPayloadTest, InconsistentTailsAreCorrupt) {
  StubPayload p;
  std::string good = packedStub(kImage, {{"atl98.dll", "data"}}, "aff");
  ASSERT_EQ(readTail(good, &p), PAYLOAD_OK);
  const size_t tPos = good.size() - 12 - 3, entryAt = tPos - 19;  // T, the one entry
  // Words written over the good tail; an entry's block position is at +11, its size +15.
  auto with = [&](size_t at, std::vector<uint32_t> words) {
    std::string d = good;
    for (size_t i = 0; i < words.size(); ++i)
      d.replace(at + 4 * i, 4, le(words[i], 4));
    return d;
  };
  const size_t block = entryAt + 11;
  CarriedBlocks eleven(11, {"f", "d"});
  const std::tuple<std::string, const char*> cases[] = {
      {packedStub(kImage, {}, std::string(256, 'a')), "L above 255"},
      {with(tPos, {uint32_t(tPos + 1)}), "T one past the file's start"},
      {with(tPos, {19 + 1}), "T not filled exactly (one byte over)"},
      {with(tPos, {19 - 1}), "T not filled exactly (one byte short)"},
      {packedStub(kImage, eleven, "a"), "more than 10 entries"},
      {packedStub(kImage, {{"", "d"}}, "a"), "name length 0"},
      {packedStub(kImage, {{std::string(260, 'n'), "d"}}, "a"), "name length 260"},
      {packedStub(kImage, {{"..\\evil.dll", "d"}}, "a"), "name climbing out"},
      {packedStub(kImage, {{std::string("a\0b", 3), "d"}}, "a"), "zero inside a name"},
      {packedStub(kImage, {}, std::string("a\0b", 3)), "zero inside the affiliate"},
      {with(block, {0, 4}), "position 0 (positions count from 1)"},
      {with(block, {uint32_t(entryAt - 2), 4}), "block one byte into the table"},
      {with(block, {1, 0xFFFFFFFFu}), "size past the file"},
      {with(block, {0xFFFFFFFFu, 1}), "position past the file"},
  };
  for (const auto& [d, what] : cases) {
    EXPECT_EQ(readTail(d, &p), PAYLOAD_CORRUPT) << what;
    EXPECT_EQ(p.nFiles, 0u) << what;
    EXPECT_STREQ(p.szAffiliate, "") << what;
  }
  ASSERT_EQ(readTail(with(block, {uint32_t(entryAt - 2), 3}), &p), PAYLOAD_OK) << "exact fit";
  EXPECT_EQ(p.files[0].ulPosition + p.files[0].ulSize, entryAt);
}

TEST(StubPayloadTest, NamesAndAffiliatesThatMayBeUsed) {
  for (const char* name : {"atl98.dll", "a", "x.y.z", "name with blanks.txt", "-_~!"})
    EXPECT_TRUE(isPlainFileName(name)) << name;
  for (const char* name : {"", ".", "..", "...", "a\\b", "a/b", "c:x", "x|y", "x?", "x*", "<x>",
                           "con", "COM1.dll", "lpt9", "\t"})
    EXPECT_FALSE(isPlainFileName(name)) << name;
  for (std::string good : {kAffiliate, std::string("A-z_09"), std::string(255, 'a')})
    EXPECT_TRUE(isValidAffiliate(good.c_str())) << good;
  for (std::string bad : {std::string(""), std::string(256, 'a'), std::string("a b"),
                          std::string("a&session=b"), std::string("-1x%"), std::string("\xe9")})
    EXPECT_FALSE(isValidAffiliate(bad.c_str())) << bad;
}

TEST(StubExpansionTest, OnlyAnExpansionThatWentThroughIsLoggedAndStoredAffiliateWins) {
  for (ExpandResult result : {EXPAND_DONE, EXPAND_FAILED}) {
    clearLog();
    EXPECT_EQ(continueAfterExpansion(result), result == EXPAND_DONE);
    EXPECT_EQ(
        std::string(logText()).find("INFO: WinMain: Stub has been expanded\n") != std::string::npos,
        result == EXPAND_DONE);
  }
  std::string longest(255, 'a');
  const std::tuple<const char*, const char*, const char*, bool, bool> cases[] = {
      {"", "tail-1", "tail-1", true, false},
      {"-1", "tail-1", "tail-1", true, false},
      {"-1", nullptr, "", false, false},
      {"stored_2", "tail-1", "stored_2", false, false},
      {longest.c_str(), "t", longest.c_str(), false, false},
      {"", "", "", false, false},  // a tail with no identifier
      {"", "bad id", "", false, true},
      {"-1", "x&session=y", "", false, true},
      {"a b", "tail-1", "tail-1", true, true},  // a stored value that is no identifier
  };
  for (const auto& [stored, carried, use, record, logged] : cases) {
    std::string name = std::string(stored) + " / " + (carried ? carried : "(no tail)");
    clearLog();
    AffiliateChoice choice = chooseAffiliate(stored, carried);
    EXPECT_STREQ(choice.szUse, use) << name;
    EXPECT_EQ(choice.bRecord, record) << name;
    EXPECT_EQ(std::string(logText()).find("is not an identifier") != std::string::npos, logged)
        << name;
  }
  clearLog();
}
