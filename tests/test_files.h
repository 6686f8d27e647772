// Whole files read and written for tests that check what real programs leave
// on disk, and (POSIX) a scratch folder per test and a shell command's exit code.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <windows.h>

// NAME inside the temporary folder.
inline std::string tempPath(const std::string& name) {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof folder, folder);
  return folder + name;
}
#else
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

inline int runShell(const std::string& command) {
  int status = system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velorin_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(root_); }
  std::filesystem::path root_;
};
#endif

template <class Path>
std::string readFile(const Path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <class Path>
bool writeFile(const Path& path, const std::string& bytes) {
  return bool(std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size()));
}
