// Files of an update on a real file system under Wine: the checksum's sharing
// rule and the folders a stored file needs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/win_handles.h"
#include "install/directory_path.h"
#include "update/file_crc.h"

namespace {

std::string tempPath(const char* name) {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof folder, folder);
  return std::string(folder) + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.valid());
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), bytes.size(), &written, nullptr));
}

TEST(FileCrcSharing, AFileOpenForWritingElsewhereReadsAsZero) {
  std::string path = tempPath("velorin_crc_sharing.bin");
  writeFile(path, "abc");
  EXPECT_EQ(calculateFileCrc(path.c_str(), false), 0x359A672Fu);
  {
    // A reader that lets others read too does not get in the way.
    ScopedHandle reader(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(reader.valid());
    EXPECT_EQ(calculateFileCrc(path.c_str(), false), 0x359A672Fu);
  }
  {
    // A writer, even one that shares everything, keeps the checksum out.
    ScopedHandle writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.valid());
    EXPECT_EQ(calculateFileCrc(path.c_str(), false), 0u);
  }
  EXPECT_EQ(calculateFileCrc(path.c_str(), false), 0x359A672Fu);
  DeleteFileA(path.c_str());
}

TEST(FileCrcSharing, TrailerRuleThroughTheFileApi) {
  std::string path = tempPath("velorin_crc_trailer.bin");
  writeFile(path, std::string("abc") + "AFF" + std::string("\x03\x00\x55\xAA", 4));
  EXPECT_EQ(calculateFileCrc(path.c_str(), true), 0x359A672Fu);
  EXPECT_NE(calculateFileCrc(path.c_str(), false), 0x359A672Fu);
  writeFile(path, "");
  EXPECT_EQ(calculateFileCrc(path.c_str(), true), 0xFFFFFFFFu);
  DeleteFileA(path.c_str());
  EXPECT_EQ(calculateFileCrc(path.c_str(), false), 0u);
}

TEST(DirectoryPath, CreatesEveryMissingFolder) {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof folder, folder);
  ASSERT_TRUE(SetCurrentDirectoryA(folder));
  EXPECT_TRUE(createDirectoryPath(""));
  EXPECT_TRUE(createDirectoryPath(".\\velorin_dirs\\a/b\\c"));
  EXPECT_NE(GetFileAttributesA("velorin_dirs\\a\\b\\c"), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(createDirectoryPath("velorin_dirs\\a\\b\\c"));  // already there
  // A file where a folder should be.
  writeFile("velorin_dirs\\file", "x");
  EXPECT_FALSE(createDirectoryPath("velorin_dirs\\file\\sub"));
  DeleteFileA("velorin_dirs\\file");
  RemoveDirectoryA("velorin_dirs\\a\\b\\c");
  RemoveDirectoryA("velorin_dirs\\a\\b");
  RemoveDirectoryA("velorin_dirs\\a");
  RemoveDirectoryA("velorin_dirs");
}

}  // namespace
