// Runs the real velorin-release on generated client folders and reads what it
// wrote with the stub's own manifest parser; zlib is the independent oracle
// for checksums (crc32 started from 0xFFFFFFFF) and compressed files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "update/manifest.h"

namespace fs = std::filesystem;

namespace {

const std::string kBase = "http://files.example/client/r7";

std::string readAll(const fs::path& path) {
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string d(n, '\0');
  for (char& c : d)
    c = char(rng() % 7 == 0 ? 'a' : rng());  // some repetition, so zlib has work
  return d;
}

uint32_t crc(const std::string& d) {
  return uint32_t(crc32(0xFFFFFFFFu, reinterpret_cast<const Bytef*>(d.data()), uInt(d.size())));
}

// The served path of an entry (URL decoded) and the bytes it stands for.
std::string servedPath(const FileDescriptor* e) {
  std::string url = e->szUrl, out;
  EXPECT_EQ(url.rfind(kBase + "/", 0), 0u) << url;
  for (size_t i = kBase.size() + 1; i < url.size(); ++i)
    if (url[i] == '%' && i + 2 < url.size()) {
      out += char(std::stoi(url.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += url[i];
    }
  return out;
}

// The bytes an entry's served file stands for: its listed size checked, a
// compressed one inflated to exactly its listed size.
std::string entryBytes(const fs::path& release, const FileDescriptor* e) {
  std::string bytes = readAll(release / servedPath(e));
  EXPECT_EQ(size_t(e->nFileSize), bytes.size());
  if (!e->bCompressed) {
    EXPECT_EQ(e->nUncompressedSize, 0u);
    return bytes;
  }
  std::string out(e->nUncompressedSize + 1, '\0');
  uLongf length = out.size();
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(&out[0]), &length,
                       reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()),
            Z_OK);
  EXPECT_EQ(length, e->nUncompressedSize);
  return out.substr(0, length);
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
  // Runs the tool with OPTIONS; ARGUMENTS default to source, base URL, output.
  int run(const std::string& options, std::string* errors, std::string arguments = "") {
    if (arguments.empty())
      arguments = " '" + source_.string() + "' '" + kBase + "' '" + out_.string() + "'";
    fs::path err = root_ / "stderr.txt";
    int status = system((std::string(VELORIN_RELEASE_TOOL) + " " + options + arguments + " >'" +
                         (root_ / "stdout.txt").string() + "' 2>'" + err.string() + "'")
                            .c_str());
    *errors = readAll(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void readManifest() {
    std::string manifest = readAll(out_ / "product.txt");
    ASSERT_EQ(parseManifest(manifest.data(), manifest.size()), MANIFEST_OK);
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
  std::ofstream(root_ / "roles.txt") << "# roles of release 7\nstub quenzar.exe\n"
                                        "primary   bin/QuenzarClient.exe  \r\n"
                                        "installer setup/install.exe\n\ncompress data/set1/*\n"
                                        "compress bin/QuenzarClient.exe\ncompress data/empty.dat\n";
  std::string errors;
  ASSERT_EQ(run("--roles '" + (root_ / "roles.txt").string() +
                    "' --flash flash/flash_player.exe --unchecked 'docs/n*'",
                &errors),
            0)
      << errors;
  EXPECT_FALSE(fs::exists(out_.string() + ".partial"));
  readManifest();
  const std::map<std::string, std::string> roles = {{"quenzar.exe", "3"},
                                                    {"bin/QuenzarClient.exe", "1"},
                                                    {"setup/install.exe", "8"},
                                                    {"flash/flash_player.exe", "9"}};
  std::map<std::string, std::string> unseen = files_;
  size_t served = 1, compressed = 0;  // product.txt
  ASSERT_NE(g_pxFileDescriptor, nullptr);
  EXPECT_STREQ(g_pxFileDescriptor->szBaseName, "quenzar.exe");  // the stub comes first
  for (const FileDescriptor* e = g_pxFileDescriptor; e; e = e->pNext, ++served) {
    std::string served = servedPath(e);
    std::string path = e->bCompressed ? served.substr(0, served.size() - 2) : served;
    SCOPED_TRACE(path);
    ASSERT_EQ(unseen.count(path), 1u);
    const std::string source = unseen[path];
    unseen.erase(path);
    std::string target = ".\\" + served;
    std::replace(target.begin(), target.end(), '/', '\\');
    EXPECT_EQ(target, e->szTargetFilename);
    EXPECT_EQ(fs::path(path).filename().string(), e->szBaseName);
    EXPECT_EQ(e->bStubFile != 0, path == "quenzar.exe");
    EXPECT_EQ(roles.count(path) ? roles.at(path) : "0", e->szFileType);
    EXPECT_EQ(entryBytes(out_, e), source);
    if (e->bCompressed) {
      ++compressed;
      EXPECT_EQ(served.substr(served.size() - 2), ".z");
    }
    EXPECT_EQ(e->ulExpectedCrc,
              path == "docs/notes.txt" ? 0u : crc(path == "quenzar.exe" ? body : source));
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
  readManifest();
  size_t entries = 0;
  for (const FileDescriptor* e = g_pxFileDescriptor; e; e = e->pNext, ++entries) {
    SCOPED_TRACE(e->szUrl);
    EXPECT_EQ(e->ulExpectedCrc, crc(entryBytes(out_, e)));
  }
  EXPECT_EQ(entries, size_t(kFiles + 1));
}

TEST_F(ReleaseTool, RefusesWhatTheStubCouldNotUse) {
  const std::string name128 = std::string(128, 'n');
  const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e') + "/";
  const std::string path257 = deep + std::string(257 - deep.size(), 'f');  // ".\" + 257 = 259
  const std::string path258 = path257 + "g";
  const struct {
    std::string file;  // an extra file in the folder ("" for none)
    const char* options;
    int exit;
    const char* message;
  } cases[] = {
      {"", "", 0, ""},
      {path257, "", 0, ""},
      {path258, "", 3, "260 characters or more"},
      {name128, "", 3, "128 characters or more"},
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
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + c.options);
    TearDown();
    SetUp();
    put("bin/client.exe", "client");
    put("a.dat", "data");
    if (!c.file.empty())
      put(c.file, "extra");
    std::string errors, options = c.options;
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

  const std::string src = " " + source_.string(), out = " " + out_.string();
  const std::pair<std::string, const char*> arguments[] = {
      {src + " ftp://x/y" + out, "base URL"},
      {src + " http://" + out, "base URL"},
      {src + " http:///r7" + out, "base URL"},
      {src + " 'http://h/a b'" + out, "base URL"},
      {src + " 'http://h/a|b'" + out, "base URL"},
      {src + " http://h " + (source_ / "out").string(), "must lie outside"},
      {src + " http://h" + src, "must lie outside"},
      {src + " http://h " + (source_ / "bin/client.exe").string(), "must lie outside"},
      {"", "not an empty folder"},  // out_/old is made below
  };
  fs::create_directories(out_ / "old");
  for (const auto& c : arguments) {
    EXPECT_EQ(run("--primary bin/client.exe", &errors, c.first), 2) << c.first;
    EXPECT_NE(errors.find(c.second), std::string::npos) << c.first << ": " << errors;
  }
  fs::remove(out_ / "old");
  // An empty folder is taken; a stub without a tail is published with a warning.
  put("quenzar.exe", "MZ without a tail");
  EXPECT_EQ(run("--primary bin/client.exe --stub quenzar.exe", &errors), 0) << errors;
  EXPECT_EQ(readAll(out_ / "bin/client.exe"), "client");
  EXPECT_NE(errors.find("stub quenzar.exe is not packed"), std::string::npos) << errors;

  // Relative paths, from the folder above.
  std::string tool = VELORIN_RELEASE_TOOL;
  EXPECT_EQ(WEXITSTATUS(system(("cd " + root_.string() + " && " + tool +
                                " --primary bin/client.exe client http://h/r/ next >/dev/null")
                                   .c_str())),
            0);
  EXPECT_EQ(readAll(root_ / "next/product.txt").rfind("http://h/r/bin/client.exe|.\\bin\\", 0), 0u);
  EXPECT_EQ(run("--help", &errors, " "), 0);
  EXPECT_NE(readAll(root_ / "stdout.txt").find("  5  the manifest did not read back"),
            std::string::npos);
}
