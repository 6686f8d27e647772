#include "update/download_rules.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "update/file_crc.h"

namespace {

TEST(ResumeAnswer, AppendsOnlyARangeThatStartsWhereTheDataStops) {
  EXPECT_EQ(judgeResumeAnswer("206", "bytes 1000-4999/5000", 1000, 5000), RESUME_APPEND);
  EXPECT_EQ(judgeResumeAnswer("206", "bytes 1000-4999/*", 1000, 5000), RESUME_APPEND);
  // One byte off either way, another file's total, a backwards range.
  EXPECT_EQ(judgeResumeAnswer("206", "bytes 999-4999/5000", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("206", "bytes 1001-4999/5000", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("206", "bytes 1000-4999/5001", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("206", "bytes 1000-999/5000", 1000, 5000), RESUME_BREAK);
  // A 206 without a readable range is never appended.
  EXPECT_EQ(judgeResumeAnswer("206", "", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("206", "items 1000-4999/5000", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("206", "bytes 1000-4999", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("206", "bytes 99999999999-4999/5000", 1000, 5000), RESUME_BREAK);
}

TEST(ResumeAnswer, WholeFileRestartsAndOtherStatusesAreBreaks) {
  EXPECT_EQ(judgeResumeAnswer("200", "", 1000, 5000), RESUME_RESTART);
  EXPECT_EQ(judgeResumeAnswer("416", "bytes */5000", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("404", "", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("302", "", 1000, 5000), RESUME_BREAK);
  EXPECT_EQ(judgeResumeAnswer("", "", 1000, 5000), RESUME_BREAK);
}

std::vector<unsigned char> deflated(const std::string& text) {
  uLongf length = compressBound(text.size());
  std::vector<unsigned char> out(length);
  compress(out.data(), &length, reinterpret_cast<const Bytef*>(text.data()), text.size());
  out.resize(length);
  return out;
}

TEST(InflateExactly, OnlyTheListedSizeIsWhole) {
  std::string text(5000, 'x');
  text += "tail";
  std::vector<unsigned char> stream = deflated(text);
  std::vector<unsigned char> out(text.size() + 10);
  EXPECT_TRUE(inflateExactly(stream.data(), stream.size(), out.data(), text.size(), text.size()));
  EXPECT_EQ(std::string(out.begin(), out.begin() + text.size()), text);
  // Listed one byte short (the stream does not fit) or one byte long.
  EXPECT_FALSE(
      inflateExactly(stream.data(), stream.size(), out.data(), text.size() - 1, text.size() - 1));
  EXPECT_FALSE(
      inflateExactly(stream.data(), stream.size(), out.data(), text.size() + 1, text.size() + 1));
  // A stream cut short, and bytes that are no stream.
  EXPECT_FALSE(
      inflateExactly(stream.data(), stream.size() - 1, out.data(), text.size(), text.size()));
  const unsigned char junk[] = "not zlib at all";
  EXPECT_FALSE(inflateExactly(junk, sizeof junk, out.data(), out.size(), 10));
  // An empty file compressed.
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
  for (unsigned i = 0; i + 1 < kMaxIdleResumes; ++i)
    EXPECT_TRUE(resumeWorthTrying(&slow, 500));
  EXPECT_TRUE(resumeWorthTrying(&slow, 500));  // 11 idle so far
  EXPECT_TRUE(resumeWorthTrying(&slow, 501));  // one byte more: idle 0
  for (unsigned i = 1; i < kMaxIdleResumes; ++i)
    EXPECT_TRUE(resumeWorthTrying(&slow, i % 2 ? 501 : 300)) << i;
  EXPECT_FALSE(resumeWorthTrying(&slow, 501));
}

TEST(StatusBody, OnlyAnUpperCaseOkOrNothingLetsTheClientStart) {
  EXPECT_TRUE(statusBodyAllowsStart("", 0));
  EXPECT_TRUE(statusBodyAllowsStart("OK", 2));
  EXPECT_TRUE(statusBodyAllowsStart("Servers: OK, all good", 21));
  EXPECT_FALSE(statusBodyAllowsStart("MAINTENANCE", 11));
  EXPECT_FALSE(statusBodyAllowsStart("ok", 2));
  EXPECT_FALSE(statusBodyAllowsStart("O", 1));
  // The length bounds the search: an "OK" just past it does not count.
  EXPECT_FALSE(statusBodyAllowsStart("xxOK", 3));
}

TEST(TrailerLength, CoversTheBytesBeforeTheAffiliateText) {
  const unsigned char trailer[4] = {3, 0, 0x55, 0xAA};
  EXPECT_EQ(trailerCoveredLength(100, trailer), 93);
  EXPECT_EQ(trailerCoveredLength(7, trailer), 0);   // nothing before the text
  EXPECT_EQ(trailerCoveredLength(6, trailer), -1);  // the length runs past the start
  EXPECT_EQ(trailerCoveredLength(5, trailer), -1);
  EXPECT_EQ(trailerCoveredLength(4, trailer), -1);
  const unsigned char wide[4] = {0, 1, 0x55, 0xAA};  // 256: the high byte counts
  EXPECT_EQ(trailerCoveredLength(260, wide), 0);
  EXPECT_EQ(trailerCoveredLength(259, wide), -1);
  EXPECT_EQ(trailerCoveredLength(100, wide), -1);
  const unsigned char noSignature[4] = {3, 0, 0xAA, 0x55};
  EXPECT_EQ(trailerCoveredLength(100, noSignature), -1);
  EXPECT_EQ(trailerCoveredLength(3, trailer), -1);
}

}  // namespace
