#include "update/download_rules.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

TEST(ResumeAnswer, AppendsOnlyARangeThatStartsWhereTheDataStops) {
  const std::tuple<const char*, const char*, ResumeAnswer> cases[] = {
      {"206", "bytes 1000-4999/5000", RESUME_APPEND},
      {"206", "bytes 1000-4999/*", RESUME_APPEND},
      {"200", "", RESUME_RESTART},
      // One byte off either way, another file's total, a backwards range.
      {"206", "bytes 999-4999/5000", RESUME_BREAK},
      {"206", "bytes 1001-4999/5000", RESUME_BREAK},
      {"206", "bytes 1000-4999/5001", RESUME_BREAK},
      {"206", "bytes 1000-999/5000", RESUME_BREAK},
      // A 206 without a readable range is never appended.
      {"206", "", RESUME_BREAK},
      {"206", "bytes 1000-4999", RESUME_BREAK},
      {"206", "bytes 99999999999-4999/5000", RESUME_BREAK},
      {"416", "bytes */5000", RESUME_BREAK},
      {"", "", RESUME_BREAK}};
  for (const auto& [status, range, verdict] : cases)
    EXPECT_EQ(judgeResumeAnswer(status, range, 1000, 5000), verdict) << status << " " << range;
}

TEST(InflateExactly, OnlyTheListedSizeIsWhole) {
  const std::string text = std::string(5000, 'x') + "tail", packed = zpack(text);
  const auto* stream = reinterpret_cast<const unsigned char*>(packed.data());
  const size_t n = text.size(), length = packed.size();
  std::vector<unsigned char> out(n + 10);
  EXPECT_TRUE(inflateExactly(stream, length, out.data(), n, n));
  EXPECT_EQ(std::string(out.begin(), out.begin() + n), text);
  // Listed one byte short or long; a stream cut short; bytes that are no stream.
  EXPECT_FALSE(inflateExactly(stream, length, out.data(), n - 1, n - 1));
  EXPECT_FALSE(inflateExactly(stream, length, out.data(), n + 1, n + 1));
  EXPECT_FALSE(inflateExactly(stream, length - 1, out.data(), n, n));
  const unsigned char junk[] = "not zlib at all";
  EXPECT_FALSE(inflateExactly(junk, sizeof junk, out.data(), out.size(), 10));
  const std::string empty = zpack("");
  EXPECT_TRUE(inflateExactly(reinterpret_cast<const unsigned char*>(empty.data()), empty.size(),
                             out.data(), 0, 0));
}

TEST(ResumeRule, TwelveIdleResumesInARowEndTheDownload) {
  // A server that is gone: the first break, then every resume brings nothing.
  ResumeProgress dead;
  int resumes = 0;
  while (resumeWorthTrying(&dead, 1000))
    ++resumes;
  EXPECT_EQ(resumes, int(kMaxIdleResumes));

  // Any gain starts the count again; breaking again no later gains nothing.
  ResumeProgress slow;
  for (unsigned i = 0; i < kMaxIdleResumes; ++i)
    EXPECT_TRUE(resumeWorthTrying(&slow, 500));
  EXPECT_TRUE(resumeWorthTrying(&slow, 501));
  for (unsigned i = 1; i < kMaxIdleResumes; ++i)
    EXPECT_TRUE(resumeWorthTrying(&slow, i % 2 ? 501 : 300)) << i;
  EXPECT_FALSE(resumeWorthTrying(&slow, 501));
}

TEST(StatusBody, OnlyAnUpperCaseOkOrNothingLetsTheClientStart) {
  for (const char* body : {"", "OK", "Servers: OK, all good"})
    EXPECT_TRUE(statusBodyAllowsStart(body, strlen(body))) << body;
  EXPECT_FALSE(statusBodyAllowsStart("ok", 2));
  EXPECT_FALSE(statusBodyAllowsStart("xxOK", 3));  // an "OK" just past the length
}
