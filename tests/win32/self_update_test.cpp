// A self-update whose target stays held, the check of a downloaded program
// against its manifest entry, the checksum's sharing rule.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/log.h"
#include "app/self_update.h"
#include "app/win_handles.h"
#include "update/file_crc.h"
#include "tests/test_files.h"
#include "update/published_download.h"

namespace {

std::string tempFolder(const char* name) {
  std::string path = tempPath(name);
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

std::string currentFolder() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  return folder;
}

// A new stub, an installed one and the file an old stub ran from, in folders
// whose names hold blanks.
struct HandOverFiles {
  std::string root = tempFolder("velorin self update");
  std::string install = tempFolder("velorin self update\\Quenzar Poker");
  std::string newStub = root + "\\cci1.tmp", target = install + "\\quenzar.exe";
  std::string oldStub = root + "\\old stub.exe";
  std::string commandLine = "\"" + newStub + "\" /self:" + oldStub + " /target:" + target;

  HandOverFiles() {
    writeFile(newStub, "MZ new stub");
    writeFile(target, "MZ installed old stub");
    writeFile(oldStub, "MZ old stub run from elsewhere");
  }
  ~HandOverFiles() {
    SetCurrentDirectoryA((root + "\\..").c_str());
    for (const std::string& path : {newStub, target, oldStub, target + ".new"})
      DeleteFileA(path.c_str());
    RemoveDirectoryA(install.c_str());
    RemoveDirectoryA(root.c_str());
  }
};

// The hand-over that waits and copies once the file is let go is the
// self-update scenario's.
TEST(SelfUpdateHandOver, GivesUpOnAFileHeldTooLongAndLeavesEverythingAsItWas) {
  HandOverFiles files;
  setSelfUpdateWaitForTesting(300);
  std::string before = currentFolder();
  ScopedHandle held(
      CreateFileA(files.target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  clearLog();
  DWORD started = GetTickCount();
  executeSelfUpdateModeFrom(files.commandLine.c_str(), files.newStub.c_str());
  DWORD waited = GetTickCount() - started;
  held.reset();
  setSelfUpdateWaitForTesting(10000);
  EXPECT_GE(waited, 250u);
  EXPECT_LT(waited, 1300u) << "the wait is bounded";
  EXPECT_EQ("MZ installed old stub", readFile(files.target));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((files.target + ".new").c_str()))
      << "no copy left beside the target";
  EXPECT_EQ("MZ old stub run from elsewhere", readFile(files.oldStub));
  EXPECT_EQ(before, currentFolder());
  EXPECT_NE(nullptr,
            strstr(logText(), "FAIL: executeSelfUpdateMode: copying over target file fails: "));
}

TEST(PublishedDownload, OnlyTheListedSizeAndChecksumRunAndAWriterHidesTheChecksum) {
  std::string path = tempFolder("velorin published") + "\\cci9.tmp";
  FileDescriptor entry = {};
  entry.ulExpectedCrc = 0x359A672Fu;  // "abc"
  const struct {
    std::string bytes;
    int stub, compressed, size;
    bool runs;
  } cases[] = {
      {"abc", 0, 0, 3, true},
      {"abd", 0, 0, 3, false},                                      // other bytes of the same size
      {std::string("abc\0", 4), 0, 0, 3, false},                    // one byte more than listed
      {"abc", 0, 0, 4, false},                                      // one byte less than listed
      {std::string("abcAFF\x03\x00\x55\xAA", 10), 1, 0, 10, true},  // trailer left out
      {"abc", 0, 1, 11, true},  // a compressed entry: its inflated size counts
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    ASSERT_TRUE(writeFile(path, c.bytes));
    entry.bStubFile = c.stub;
    entry.bCompressed = c.compressed;
    entry.nFileSize = c.size;
    entry.nUncompressedSize = c.compressed ? 3 : 0;
    EXPECT_EQ(c.runs, isPublishedDownload(&entry, path.c_str()));
  }
  // A reader sharing reading does not get in the way; a writer, even one that
  // shares everything, keeps the checksum out.
  for (DWORD access : {DWORD(GENERIC_READ), DWORD(GENERIC_WRITE)}) {
    ScopedHandle other(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(access == GENERIC_READ ? 0x359A672Fu : 0u, calculateFileCrc(path.c_str(), false));
  }
  entry.ulExpectedCrc = 0;  // without a listed checksum nothing tells
  EXPECT_FALSE(isPublishedDownload(&entry, path.c_str()));
  DeleteFileA(path.c_str());
  entry.ulExpectedCrc = 0x359A672Fu;
  EXPECT_FALSE(isPublishedDownload(&entry, path.c_str())) << "a missing file";
  EXPECT_FALSE(isPublishedDownload(nullptr, path.c_str()));
  RemoveDirectoryA(tempFolder("velorin published").c_str());
}

}  // namespace
