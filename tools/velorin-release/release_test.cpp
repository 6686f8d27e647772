// Runs the real velorin-release on generated client folders and reads what it
// wrote with the stub's own manifest parser; zlib is the independent oracle
// for checksums (crc32 started from 0xFFFFFFFF) and compressed files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "update/manifest.h"

namespace fs = std::filesystem;

namespace {

const std::string kBase = "http://files.example/client/r7";

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string d(n, '\0');
  for (char& c : d)
    c = char(rng() % 7 == 0 ? 'a' : rng());  // some repetition, so zlib has work
  return d;
}

std::string urlDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

class ReleaseTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velorin_release_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    source_ = root_ / "client";
    out_ = root_ / "release";
    fs::create_directories(source_);
    files_.clear();
  }
  void TearDown() override {
    freeFileDescriptorList();
    fs::remove_all(root_);
  }

  void put(const std::string& path, const std::string& bytes) {
    fs::path p = source_ / path;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    files_[path] = bytes;
  }

  // Runs the tool with extra arguments before the three positional ones.
  int run(const std::string& options, std::string* errors = nullptr) {
    fs::path err = root_ / "stderr.txt";
    std::string command = std::string(VELORIN_RELEASE_TOOL) + " " + options + " '" +
                          source_.string() + "' '" + kBase + "' '" + out_.string() + "' >'" +
                          (root_ / "stdout.txt").string() + "' 2>'" + err.string() + "'";
    int status = system(command.c_str());
    if (errors)
      *errors = readAll(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path root_, source_, out_;
  std::map<std::string, std::string> files_;  // what was put, by path
};

}  // namespace

TEST_F(ReleaseTool, PublishedReleaseReadsBackEntryByEntry) {
  std::string body = randomBytes(40000, 1);
  put("quenzar.exe", body + "AFF-0042" + '\x08' + '\0' + '\x55' + '\xAA');
  put("bin/QuenzarClient.exe", randomBytes(90000, 2));
  put("setup/install.exe", randomBytes(3000, 3));
  put("flash/flash_player.exe", randomBytes(5000, 4));
  put("docs/read me.txt", "spaces and %: in the URL only\n");
  put("docs/notes.txt", "never checked\n");
  put("data/empty.dat", "");
  put("data/zeros.dat", std::string(4096, '\0'));
  put(std::string(127, 'n'), "longest name");
  for (int i = 0; i < 21; ++i)
    put("data/set" + std::to_string(i % 3) + "/deep/t" + std::to_string(i) + ".dat",
        randomBytes(size_t(100 + 1500 * i), 10 + i));
  ASSERT_EQ(files_.size(), 30u);
  std::ofstream(root_ / "roles.txt") << "# roles of release 7\n"
                                        "stub quenzar.exe\n"
                                        "primary   bin/QuenzarClient.exe  \r\n"
                                        "installer setup/install.exe\n"
                                        "\n"
                                        "compress data/set1/*\n"
                                        "compress bin/QuenzarClient.exe\n"
                                        "compress data/empty.dat\n";
  std::string errors;
  ASSERT_EQ(run("--roles '" + (root_ / "roles.txt").string() +
                    "' --flash flash/flash_player.exe --unchecked 'docs/n*'",
                &errors),
            0)
      << errors;
  EXPECT_FALSE(fs::exists(out_.string() + ".partial"));

  std::string manifest = readAll(out_ / "product.txt");
  ASSERT_EQ(parseManifest(manifest.data(), manifest.size()), MANIFEST_OK);
  const std::map<std::string, std::string> roles = {{"quenzar.exe", "3"},
                                                    {"bin/QuenzarClient.exe", "1"},
                                                    {"setup/install.exe", "8"},
                                                    {"flash/flash_player.exe", "9"}};
  std::map<std::string, std::string> unseen = files_;
  size_t served = 1, compressed = 0;  // product.txt
  ASSERT_NE(g_pxFileDescriptor, nullptr);
  EXPECT_STREQ(g_pxFileDescriptor->szBaseName, "quenzar.exe");  // the stub comes first
  for (const FileDescriptor* e = g_pxFileDescriptor; e; e = e->pNext, ++served) {
    std::string url = e->szUrl;
    ASSERT_EQ(url.rfind(kBase + "/", 0), 0u) << url;
    std::string servedPath = urlDecode(url.substr(kBase.size() + 1));
    std::string path = e->bCompressed ? servedPath.substr(0, servedPath.size() - 2) : servedPath;
    SCOPED_TRACE(path);
    ASSERT_EQ(unseen.count(path), 1u);
    const std::string source = unseen[path];
    unseen.erase(path);

    std::string target = ".\\" + servedPath;
    std::replace(target.begin(), target.end(), '/', '\\');
    EXPECT_EQ(target, e->szTargetFilename);
    EXPECT_EQ(fs::path(path).filename().string(), e->szBaseName);
    EXPECT_EQ(e->bStubFile != 0, path == "quenzar.exe");
    EXPECT_EQ(roles.count(path) ? roles.at(path) : "0", e->szFileType);

    std::string bytes = readAll(out_ / servedPath);
    EXPECT_EQ(size_t(e->nFileSize), bytes.size());
    if (e->bCompressed) {
      ++compressed;
      EXPECT_EQ(servedPath.substr(servedPath.size() - 2), ".z");
      EXPECT_EQ(e->nUncompressedSize, source.size());
      std::string inflated(source.size() + 1, '\0');
      uLongf length = inflated.size();
      ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&inflated[0]), &length,
                           reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()),
                Z_OK);
      EXPECT_EQ(inflated.substr(0, length), source);
    } else {
      EXPECT_EQ(e->nUncompressedSize, 0u);
      EXPECT_EQ(bytes, source);
    }
    const std::string& counted = path == "quenzar.exe" ? body : source;
    uint32_t expected = uint32_t(
        crc32(0xFFFFFFFFu, reinterpret_cast<const Bytef*>(counted.data()), uInt(counted.size())));
    EXPECT_EQ(e->ulExpectedCrc, path == "docs/notes.txt" ? 0u : expected);
  }
  EXPECT_TRUE(unseen.empty());
  EXPECT_EQ(compressed, 1u + 1 + 7);  // client, empty file, data/set1
  size_t onDisk = 0;
  for (auto& f : fs::recursive_directory_iterator(out_))
    onDisk += f.is_regular_file();
  EXPECT_EQ(onDisk, served);
}

TEST_F(ReleaseTool, FileChangingMeanwhileGetsTheEntryOfTheBytesServed) {
  // Every file is swapped between two versions of different sizes while the
  // tool runs; each entry must still describe the very bytes published.
  const int kFiles = 40;
  for (int i = 0; i < kFiles; ++i)
    put("data/f" + std::to_string(i) + ".dat", randomBytes(3000, 100 + i));
  put("bin/client.exe", "client");
  fs::path versions = root_ / "versions";
  fs::create_directories(versions);
  for (int v = 0; v < 2; ++v)
    for (int i = 0; i < kFiles; ++i)
      std::ofstream(versions / (std::to_string(v) + "-" + std::to_string(i)), std::ios::binary)
          << randomBytes(size_t(2000 + 1000 * v + i), unsigned(200 + 50 * v + i));
  std::atomic<bool> done{false};
  std::thread swapper([&] {
    for (unsigned n = 0; !done; ++n)
      for (int i = 0; i < kFiles; ++i) {
        fs::path copy = versions / ("copy" + std::to_string(i));
        fs::copy_file(versions / (std::to_string(n % 2) + "-" + std::to_string(i)), copy,
                      fs::copy_options::overwrite_existing);
        fs::rename(copy, source_ / ("data/f" + std::to_string(i) + ".dat"));
      }
  });
  std::string errors;
  int code = run("--primary bin/client.exe --compress 'data/f1*'", &errors);
  done = true;
  swapper.join();
  ASSERT_EQ(code, 0) << errors;
  std::string manifest = readAll(out_ / "product.txt");
  ASSERT_EQ(parseManifest(manifest.data(), manifest.size()), MANIFEST_OK);
  size_t entries = 0;
  for (const FileDescriptor* e = g_pxFileDescriptor; e; e = e->pNext, ++entries) {
    std::string servedPath = urlDecode(std::string(e->szUrl).substr(kBase.size() + 1));
    SCOPED_TRACE(servedPath);
    std::string bytes = readAll(out_ / servedPath);
    EXPECT_EQ(size_t(e->nFileSize), bytes.size());
    if (e->bCompressed) {
      std::string inflated(e->nUncompressedSize + 1, '\0');
      uLongf length = inflated.size();
      ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&inflated[0]), &length,
                           reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()),
                Z_OK);
      EXPECT_EQ(length, e->nUncompressedSize);
      bytes.resize(length);
      memcpy(&bytes[0], inflated.data(), length);
    }
    EXPECT_EQ(e->ulExpectedCrc,
              uint32_t(crc32(0xFFFFFFFFu, reinterpret_cast<const Bytef*>(bytes.data()),
                             uInt(bytes.size()))));
  }
  EXPECT_EQ(entries, size_t(kFiles + 1));
}

TEST_F(ReleaseTool, RefusesWhatTheStubCouldNotUse) {
  struct Case {
    const char* file;  // an extra file in the folder ("" for none)
    const char* options;
    int exit;
    const char* message;
  };
  const std::string name128 = std::string(128, 'n');
  const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e') + "/";
  const std::string path257 = deep + std::string(257 - deep.size(), 'f');  // ".\" + 257 = 259
  const std::string path258 = path257 + "g";
  const Case cases[] = {
      {"", "", 0, ""},
      {path257.c_str(), "", 0, ""},
      {path258.c_str(), "", 3, "260 characters or more"},
      {name128.c_str(), "", 3, "128 characters or more"},
      {"x", "", 3, "at least 2 characters"},
      {"data/a|b.dat", "", 3, "separates the manifest's fields"},
      {"data/a:b.dat", "", 3, "cannot stand in a Windows file name"},
      {"data/Aux.dat", "", 3, "names a device"},
      {"data/name.", "", 3, "trailing dot"},
      {"Bin/Client.exe", "", 3, "ignores case"},
      {"my bin/c.exe", "--primary 'my bin/c.exe'", 3, "a blank in the path"},
      {"setup.exe", "--stub setup.exe", 3, "must be named quenzar.exe"},
      {"", "--installer ../outside.exe", 3, "leaves the source folder"},
      {"", "--flash missing.exe", 3, "no such file"},
      {"", "--compress '*.dll'", 3, "matches no file"},
      {"product.txt", "", 3, "already is"},
      {"a.dat.z", "--compress a.dat", 3, "already is"},
      {"", "--bogus x", 2, "unknown option"},
      {"", "--roles /nonexistent/roles.txt", 2, "cannot read the role file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.options);
    TearDown();
    SetUp();
    put("bin/client.exe", "client");
    put("a.dat", "data");
    if (c.file[0])
      put(c.file, "extra");
    std::string errors;
    std::string options = c.options;
    if (options.find("--primary") == std::string::npos)
      options += " --primary bin/client.exe";
    EXPECT_EQ(run(options, &errors), c.exit) << errors;
    EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    EXPECT_EQ(fs::exists(out_), c.exit == 0);
  }
}

TEST_F(ReleaseTool, RefusesLinksBadUrlsAndOutputPlaces) {
  put("bin/client.exe", "client");
  fs::create_symlink("/etc", source_ / "etc");
  std::string errors;
  EXPECT_EQ(run("--primary bin/client.exe", &errors), 3);
  EXPECT_NE(errors.find("etc: a link, not followed"), std::string::npos) << errors;
  fs::remove(source_ / "etc");

  std::string tool = VELORIN_RELEASE_TOOL;
  const std::pair<std::string, const char*> commands[] = {
      {" ftp://x/y " + out_.string(), "base URL"},
      {" http:// " + out_.string(), "base URL"},
      {" http:///r7 " + out_.string(), "base URL"},
      {" 'http://h/a b' " + out_.string(), "base URL"},
      {" 'http://h/a|b' " + out_.string(), "base URL"},
      {" http://h " + (source_ / "out").string(), "must lie outside"},
      {" http://h " + source_.string(), "must lie outside"},
      {" http://h " + (source_ / "bin/client.exe").string(), "must lie outside"},
  };
  for (const auto& c : commands) {
    std::string command = tool + " --primary bin/client.exe " + source_.string() + c.first + " 2>" +
                          (root_ / "e.txt").string();
    int status = system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2) << c.first;
    EXPECT_NE(readAll(root_ / "e.txt").find(c.second), std::string::npos) << c.first;
  }
  fs::create_directories(out_ / "old");
  EXPECT_EQ(run("--primary bin/client.exe", &errors), 2);
  EXPECT_NE(errors.find("not an empty folder"), std::string::npos);
  fs::remove(out_ / "old");
  EXPECT_EQ(run("--primary bin/client.exe", &errors), 0) << errors;  // an empty folder is taken
  EXPECT_EQ(readAll(out_ / "bin/client.exe"), "client");

  // Relative paths, from the folder above.
  std::string relative = "cd " + root_.string() + " && " + tool +
                         " --primary bin/client.exe client http://h/r/ next >/dev/null";
  EXPECT_EQ(WEXITSTATUS(system(relative.c_str())), 0);
  EXPECT_EQ(readAll(root_ / "next/product.txt").rfind("http://h/r/bin/client.exe|.\\bin\\", 0), 0u);

  std::string help = tool + " --help >" + (root_ / "help.txt").string();
  EXPECT_EQ(WEXITSTATUS(system(help.c_str())), 0);
  EXPECT_NE(readAll(root_ / "help.txt").find("  5  the manifest did not read back"),
            std::string::npos);
}
