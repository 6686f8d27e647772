#include "app/file_version.h"

#include <gtest/gtest.h>

TEST(FileVersionInfo, ReadsASystemLibraryAndResets) {
  FileVersionInfo info;
  ASSERT_TRUE(info.load(GetModuleHandleA("kernel32.dll")));
  StubVersion version = info.fileVersion();
  EXPECT_GE(version.part[0], 5u);  // every Windows this runs on ships 5.x or later
  EXPECT_GE(info.translationCount(), 1u);
  EXPECT_NE(0, info.translationLanguage());

  info.reset();
  version = info.fileVersion();
  for (uint32_t part : version.part)
    EXPECT_EQ(0u, part);
  EXPECT_EQ(0u, info.translationCount());
}

TEST(FileVersionInfo, ModuleWithoutVersionReadsAsZeros) {
  // The test program carries no version resource.
  FileVersionInfo info;
  EXPECT_FALSE(info.load(nullptr));
  StubVersion version = info.fileVersion();
  for (uint32_t part : version.part)
    EXPECT_EQ(0u, part);
}
