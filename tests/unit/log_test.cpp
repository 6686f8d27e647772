#include "app/log.h"

#include <gtest/gtest.h>

#include <thread>

static std::string formatLine(size_t size, int level, const char* format, ...) {
  std::vector<char> out(size + 1, '#');  // one guard byte past the buffer
  va_list args;
  va_start(args, format);
  size_t length = formatLogLine(out.data(), size, level, format, args);
  va_end(args);
  EXPECT_EQ('#', out[size]) << "line buffer overrun";
  EXPECT_EQ(length, strlen(out.data()));
  return std::string(out.data());
}

static std::vector<std::string> logLines() {
  EXPECT_EQ(strlen(logText()), logLength());
  std::vector<std::string> lines;
  std::istringstream in(logText());
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

TEST(LogLine, PrefixesByLevelAndOverlongTextIsCutButEndsTheLine) {
  EXPECT_EQ("INFO: x 3\n", formatLine(kLogLineSize, LOG_INFO, "x %d", 3));
  EXPECT_EQ("FAIL: error\n", formatLine(kLogLineSize, LOG_FAIL, "error"));
  EXPECT_EQ("plain\n", formatLine(kLogLineSize, 4, "plain"));
  EXPECT_EQ(
      "WARNING: " + std::string(kLogLineSize - 11, 'z') + "\n",
      formatLine(kLogLineSize, LOG_WARNING, "%s", std::string(2 * kLogLineSize, 'z').c_str()));
  EXPECT_EQ("WA\n", formatLine(4, LOG_WARNING, "abc"));
}

TEST(Log, ConcurrentAppendsNeitherLoseNorInterleaveAndAFullBufferDropsWholeLines) {
  clearLog();
  constexpr int kThreads = 6, kLines = 600;  // 30-byte lines, about 108 KB: within the buffer
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        logMessage(LOG_INFO, "thread %d line %05d end", t, i);
    });
  for (auto& thread : threads)
    thread.join();
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(size_t(kThreads * kLines), lines.size());
  std::vector<int> nextOf(kThreads, 0);
  for (const std::string& line : lines) {
    int t = -1, i = -1;
    char end[4] = {};
    ASSERT_EQ(3, sscanf(line.c_str(), "INFO: thread %d line %d %3s", &t, &i, end)) << line;
    ASSERT_TRUE(strcmp(end, "end") == 0 && t >= 0 && t < kThreads) << line;
    EXPECT_EQ(nextOf[t]++, i) << "lines of one thread out of order";
  }
  clearLog();
  EXPECT_EQ(0u, logLength());
  EXPECT_STREQ("", logText());
  std::string chunk(999, 'k');
  for (int i = 0; i < 200; ++i)  // about 200 KB offered to a 128000-byte log
    logMessage(0, "%03d%s", i, chunk.c_str());
  size_t length = logLength();
  EXPECT_GT(length, kLogBufferSize - 1100);  // filled up to the last whole line
  lines = logLines();
  ASSERT_EQ(length / 1003, lines.size());
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(1002u, lines[i].size()) << "line " << i << " cut";
  // The room left: one byte over is dropped, the exact fit taken, then full.
  size_t room = kLogBufferSize - 1 - length;
  logMessage(0, "%s", std::string(room, 'r').c_str());  // its line feed is one byte more
  EXPECT_EQ(length, logLength());
  logMessage(0, "%s", std::string(room - 1, 'r').c_str());
  logMessage(0, "x");
  EXPECT_EQ(kLogBufferSize - 1, logLength());
  EXPECT_EQ('\n', logText()[logLength() - 1]);
  clearLog();
}
