// The new stub's half of a self-update on real files under Wine: both copies,
// the change to the install folder, the log, and a file held past the wait
// (the waiting that succeeds is the scenarios'); the check of a downloaded
// program against its manifest entry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/log.h"
#include "app/self_update.h"
#include "app/win_handles.h"
#include "update/published_download.h"

namespace {

std::string tempFolder(const char* name) {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof folder, folder);
  std::string path = std::string(folder) + name;
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

void writeFile(const std::string& path, const std::string& bytes) {
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.valid()) << path;
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), bytes.size(), &written, nullptr));
}

std::string readFile(const std::string& path) {
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid())
    return "<missing>";
  std::string bytes(GetFileSize(file.get(), nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty())
    ReadFile(file.get(), &bytes[0], bytes.size(), &read, nullptr);
  return bytes.substr(0, read);
}

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
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
  std::string newStub = root + "\\cci1.tmp";
  std::string target = install + "\\quenzar.exe";
  std::string oldStub = root + "\\old stub.exe";
  std::string newBytes = std::string("MZ new stub ") + std::string(70000, 'n');

  HandOverFiles() {
    writeFile(newStub, newBytes);
    writeFile(target, "MZ installed old stub");
    writeFile(oldStub, "MZ old stub run from elsewhere");
  }
  ~HandOverFiles() {
    SetCurrentDirectoryA(root.c_str());
    SetCurrentDirectoryA("..");
    for (const std::string& path : {newStub, target, oldStub, target + ".new"})
      DeleteFileA(path.c_str());
    RemoveDirectoryA(install.c_str());
    RemoveDirectoryA(root.c_str());
  }
  std::string commandLine() const {
    return "\"" + newStub + "\" /self:" + oldStub + " /target:" + target;
  }
};

// Holds a file without sharing for a while on a thread of its own, as the
// ending old stub holds its running image.
class HeldFile {
 public:
  HeldFile(const std::string& path, DWORD milliseconds) : m_milliseconds(milliseconds) {
    m_file.reset(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    m_thread.reset(CreateThread(nullptr, 0, &HeldFile::release, this, 0, nullptr));
  }
  ~HeldFile() { WaitForSingleObject(m_thread.get(), INFINITE); }
  bool valid() const { return m_file.valid() && m_thread.valid(); }

 private:
  static DWORD WINAPI release(void* self) {
    HeldFile* held = static_cast<HeldFile*>(self);
    Sleep(held->m_milliseconds);
    held->m_file.reset();
    return 0;
  }
  DWORD m_milliseconds;
  ScopedHandle m_file;
  ScopedHandle m_thread;
};

TEST(SelfUpdateHandOver, CopiesOverTargetAndOldStubAndMovesToTheInstallFolder) {
  HandOverFiles files;
  SetCurrentDirectoryA(files.root.c_str());
  clearLog();
  executeSelfUpdateModeFrom(files.commandLine().c_str(), files.newStub.c_str());
  EXPECT_EQ(files.newBytes, readFile(files.target));
  EXPECT_EQ(files.newBytes, readFile(files.oldStub));
  EXPECT_FALSE(exists(files.target + ".new"));
  EXPECT_EQ(files.install, currentFolder());
  EXPECT_TRUE(isSelfUpdateRun());
  EXPECT_EQ(
      "INFO: executeSelfUpdateMode: detected in special self-update mode\n"
      "INFO: executeSelfUpdateMode: successfully copied " +
          files.newStub + " over " + files.target +
          "\n"
          "INFO: executeSelfUpdateMode: setting current working directory back to original "
          "executable: " +
          files.install +
          "\n"
          "INFO: executeSelfUpdateMode: successfully copied " +
          files.newStub + " over " + files.oldStub + "\n",
      logText());

  // A target alone: copied over, and not a word about the missing "/self:".
  writeFile(files.target, "MZ installed old stub");
  clearLog();
  executeSelfUpdateModeFrom(("x /target:" + files.target).c_str(), files.newStub.c_str());
  EXPECT_EQ(files.newBytes, readFile(files.target));
  EXPECT_EQ(std::string::npos, std::string(logText()).find("original file")) << logText();
}

TEST(SelfUpdateHandOver, LinesWithoutAHandOver) {
  clearLog();
  executeSelfUpdateMode("");
  EXPECT_STREQ("INFO: executeSelfUpdateMode: not in special self-update mode\n", logText());
  clearLog();
  executeSelfUpdateMode("/uninstall");
  EXPECT_STREQ(
      "INFO: executeSelfUpdateMode: detected in special self-update mode\n"
      "WARNING: executeSelfUpdateMode: special mode tag not found\n",
      logText());
  EXPECT_FALSE(isSelfUpdateRun());
}

TEST(SelfUpdateHandOver, GivesUpOnAFileHeldTooLongAndLeavesItWhole) {
  HandOverFiles files;
  setSelfUpdateWaitForTesting(300);
  std::string before = currentFolder();
  {
    HeldFile held(files.target, 1500);
    ASSERT_TRUE(held.valid());
    clearLog();
    DWORD started = GetTickCount();
    executeSelfUpdateModeFrom(files.commandLine().c_str(), files.newStub.c_str());
    DWORD waited = GetTickCount() - started;
    EXPECT_GE(waited, 250u);
    EXPECT_LT(waited, 1400u) << "the wait is bounded";
  }
  setSelfUpdateWaitForTesting(10000);
  EXPECT_EQ("MZ installed old stub", readFile(files.target));
  EXPECT_FALSE(exists(files.target + ".new")) << "no copy left beside the target";
  EXPECT_EQ("MZ old stub run from elsewhere", readFile(files.oldStub));
  EXPECT_EQ(before, currentFolder());
  std::string log = logText();
  EXPECT_TRUE(log.find("FAIL: executeSelfUpdateMode: copying over target file fails: 32\n") !=
                  std::string::npos ||
              log.find("FAIL: executeSelfUpdateMode: copying over target file fails: 5\n") !=
                  std::string::npos)
      << log;
}

TEST(PublishedDownload, OnlyTheListedSizeAndChecksumRun) {
  std::string path = tempFolder("velorin published") + "\\cci9.tmp";
  FileDescriptor entry = {};
  entry.nFileSize = 3;
  entry.ulExpectedCrc = 0x359A672Fu;  // "abc"
  writeFile(path, "abc");
  EXPECT_TRUE(isPublishedDownload(&entry, path.c_str()));
  writeFile(path, "abd");
  EXPECT_FALSE(isPublishedDownload(&entry, path.c_str())) << "other bytes of the same size";
  writeFile(path, std::string("abc\0", 4));
  EXPECT_FALSE(isPublishedDownload(&entry, path.c_str())) << "one byte more";
  // The stub's checksum leaves out its affiliate trailer, as the manifest's does.
  entry.bStubFile = 1;
  entry.nFileSize = 3 + 3 + 4;
  writeFile(path, std::string("abcAFF\x03\x00\x55\xAA", 10));
  EXPECT_TRUE(isPublishedDownload(&entry, path.c_str()));
  // A compressed entry is compared with its inflated size.
  entry.bStubFile = 0;
  entry.bCompressed = 1;
  entry.nFileSize = 11;
  entry.nUncompressedSize = 3;
  writeFile(path, "abc");
  EXPECT_TRUE(isPublishedDownload(&entry, path.c_str()));
  // Without a listed checksum nothing tells the file is the published one.
  entry.ulExpectedCrc = 0;
  EXPECT_FALSE(isPublishedDownload(&entry, path.c_str()));
  DeleteFileA(path.c_str());
  entry.ulExpectedCrc = 0x359A672Fu;
  EXPECT_FALSE(isPublishedDownload(&entry, path.c_str())) << "a missing file";
  EXPECT_FALSE(isPublishedDownload(nullptr, path.c_str()));
  RemoveDirectoryA(tempFolder("velorin published").c_str());
}

}  // namespace
