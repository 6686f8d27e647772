#include "update/download_rules.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "update/file_crc.h"

namespace {

TEST(ResumeAnswer, AppendsOnlyARangeThatStartsWhereTheDataStops) {
  const std::pair<const char*, const char*> append[] = {{"206", "bytes 1000-4999/5000"},
                                                        {"206", "bytes 1000-4999/*"}};
  const std::pair<const char*, const char*> breaks[] = {
      // One byte off either way, another file's total, a backwards range.
      {"206", "bytes 999-4999/5000"},
      {"206", "bytes 1001-4999/5000"},
      {"206", "bytes 1000-4999/5001"},
      {"206", "bytes 1000-999/5000"},
      // A 206 without a readable range is never appended.
      {"206", ""},
      {"206", "bytes 1000-4999"},
      {"206", "bytes 99999999999-4999/5000"},
      // Any status but 206 and 200.
      {"416", "bytes */5000"},
      {"", ""}};
  for (const auto& c : append)
    EXPECT_EQ(judgeResumeAnswer(c.first, c.second, 1000, 5000), RESUME_APPEND) << c.second;
  for (const auto& c : breaks)
    EXPECT_EQ(judgeResumeAnswer(c.first, c.second, 1000, 5000), RESUME_BREAK)
        << c.first << " " << c.second;
  EXPECT_EQ(judgeResumeAnswer("200", "", 1000, 5000), RESUME_RESTART);
}

std::vector<unsigned char> deflated(const std::string& text) {
  uLongf length = compressBound(text.size());
  std::vector<unsigned char> out(length);
  compress(out.data(), &length, reinterpret_cast<const Bytef*>(text.data()), text.size());
  out.resize(length);
  return out;
}

TEST(InflateExactly, OnlyTheListedSizeIsWhole) {
  std::string text = std::string(5000, 'x') + "tail";
  const size_t n = text.size();
  std::vector<unsigned char> stream = deflated(text), out(n + 10);
  EXPECT_TRUE(inflateExactly(stream.data(), stream.size(), out.data(), n, n));
  EXPECT_EQ(std::string(out.begin(), out.begin() + n), text);
  // Listed one byte short (the stream does not fit) or one byte long; a
  // stream cut short; bytes that are no stream.
  EXPECT_FALSE(inflateExactly(stream.data(), stream.size(), out.data(), n - 1, n - 1));
  EXPECT_FALSE(inflateExactly(stream.data(), stream.size(), out.data(), n + 1, n + 1));
  EXPECT_FALSE(inflateExactly(stream.data(), stream.size() - 1, out.data(), n, n));
  const unsigned char junk[] = "not zlib at all";
  EXPECT_FALSE(inflateExactly(junk, sizeof junk, out.data(), out.size(), 10));
  std::vector<unsigned char> empty = deflated("");
  EXPECT_TRUE(inflateExactly(empty.data(), empty.size(), out.data(), 0, 0));
}

TEST(ResumeRule, TwelveIdleResumesInARowEndTheDownload) {
  // A server that is gone: the first break, then every resume brings nothing.
  ResumeProgress dead;
  int resumes = 0;
  while (resumeWorthTrying(&dead, 1000))
    ++resumes;
  EXPECT_EQ(resumes, int(kMaxIdleResumes));

  // Any gain starts the count again; a resume that starts over and breaks
  // at the same place (or earlier) gains nothing.
  ResumeProgress slow;
  for (unsigned i = 0; i < kMaxIdleResumes; ++i)
    EXPECT_TRUE(resumeWorthTrying(&slow, 500));  // 11 idle after the last
  EXPECT_TRUE(resumeWorthTrying(&slow, 501));    // one byte more: idle 0
  for (unsigned i = 1; i < kMaxIdleResumes; ++i)
    EXPECT_TRUE(resumeWorthTrying(&slow, i % 2 ? 501 : 300)) << i;
  EXPECT_FALSE(resumeWorthTrying(&slow, 501));
}

TEST(StatusBody, OnlyAnUpperCaseOkOrNothingLetsTheClientStart) {
  EXPECT_TRUE(statusBodyAllowsStart("", 0));
  EXPECT_TRUE(statusBodyAllowsStart("OK", 2));
  EXPECT_TRUE(statusBodyAllowsStart("Servers: OK, all good", 21));
  EXPECT_FALSE(statusBodyAllowsStart("ok", 2));
  EXPECT_FALSE(statusBodyAllowsStart("xxOK", 3));  // an "OK" just past the length
}

TEST(TrailerLength, CoversTheBytesBeforeTheAffiliateText) {
  const unsigned char trailer[4] = {3, 0, 0x55, 0xAA};
  const unsigned char wide[4] = {0, 1, 0x55, 0xAA};  // 256: the high byte counts
  const unsigned char noSignature[4] = {3, 0, 0xAA, 0x55};
  struct {
    uint64_t size;
    const unsigned char* tail;
    int64_t covered;
  } const cases[] = {
      {100, trailer, 93}, {7, trailer, 0},  // nothing before the text
      {6, trailer, -1},   {3, trailer, -1}, {260, wide, 0}, {259, wide, -1}, {100, noSignature, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(trailerCoveredLength(c.size, c.tail), c.covered) << c.size;
}

}  // namespace
