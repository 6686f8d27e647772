#include "app/file_version.h"

#include <gtest/gtest.h>

TEST(FileVersionInfo, ReadsASystemLibraryResetsAndReadsNoneAsZeros) {
  FileVersionInfo info;
  ASSERT_TRUE(info.load(GetModuleHandleA("kernel32.dll")));
  EXPECT_NE(0u, info.fileVersion().part[0]);
  EXPECT_GE(info.translationCount(), 1u);
  EXPECT_NE(0, info.translationLanguage());
  info.reset();
  EXPECT_EQ(0u, info.translationCount());
  EXPECT_EQ(0u, info.fileVersion().part[0]);
  EXPECT_FALSE(info.load(nullptr));  // the test program carries no version resource
  for (uint32_t part : info.fileVersion().part)
    EXPECT_EQ(0u, part);
}
