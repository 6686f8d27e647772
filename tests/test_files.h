// Whole files read and written for tests that check what real programs leave
// on disk, and (POSIX) a scratch folder per test and a shell command's exit code;
// packed stubs built from the layout, and zlib as the independent oracle.
#pragma once

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

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

// N bytes from SEED, with some repetition so that zlib has work.
inline std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string d(n, '\0');
  for (char& c : d)
    c = char(rng() % 7 == 0 ? 'a' : rng());
  return d;
}

// Little-endian, N bytes.
inline std::string le(size_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i)
    s += char(v >> 8 * i);
  return s;
}

using CarriedBlocks = std::vector<std::pair<std::string, std::string>>;  // name, data

// IMAGE with BLOCKS after it, at positions counted from 1, and the tail the stub
// reads backwards: signature, affiliate length and text, file count, table size, table.
inline std::string packedStub(const std::string& image,
                              const CarriedBlocks& blocks,
                              const std::string& affiliate) {
  std::string d = image, table;
  for (const auto& b : blocks) {
    table += le(b.first.size(), 2) + b.first + le(d.size() + 1, 4) + le(b.second.size(), 4);
    d += b.second;
  }
  return d + table + le(table.size(), 4) + le(blocks.size(), 4) + affiliate +
         le(affiliate.size(), 2) + "\x55\xAA";
}

// A checksum as the product keeps it: crc32 started from 0xFFFFFFFF.
inline uint32_t zlibCrc(const std::string& bytes) {
  return uint32_t(
      crc32(0xFFFFFFFFu, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

inline std::string zpack(const std::string& bytes) {
  uLongf length = compressBound(uLong(bytes.size()));
  std::string out(length, '\0');
  compress(reinterpret_cast<Bytef*>(&out[0]), &length, reinterpret_cast<const Bytef*>(bytes.data()),
           uLong(bytes.size()));
  return out.substr(0, length);
}
