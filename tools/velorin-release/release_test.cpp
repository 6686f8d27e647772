// Runs the real velorin-release on generated client folders and reads what it
// wrote with the stub's own manifest parser; zlib is the independent oracle
// for checksums (crc32 started from 0xFFFFFFFF) and compressed files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "tests/test_files.h"
#include "update/manifest.h"

namespace fs = std::filesystem;

namespace {

const std::string kBase = "http://files.example/client/r7";

// The served path of an entry, URL decoded.
std::string servedPath(const FileDescriptor* e) {
  std::string url = e->szUrl, out;
  EXPECT_EQ(url.rfind(kBase + "/", 0), 0u) << url;
  for (size_t i = kBase.size() + 1; i < url.size(); ++i)
    out += url[i] == '%' && i + 2 < url.size()
               ? char(std::stoi(url.substr((i += 2) - 1, 2), nullptr, 16))
               : url[i];
  return out;
}

// The bytes an entry stands for, a compressed one inflated to its listed size.
std::string entryBytes(const fs::path& release, const FileDescriptor* e) {
  std::string bytes = readFile(release / servedPath(e)), out(e->nUncompressedSize + 1, '\0');
  EXPECT_EQ(size_t(e->nFileSize), bytes.size());
  if (!e->bCompressed) {
    EXPECT_EQ(e->nUncompressedSize, 0u);
    return bytes;
  }
  uLongf length = out.size();
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(&out[0]), &length,
                       reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()),
            Z_OK);
  EXPECT_EQ(length, e->nUncompressedSize);
  return out.substr(0, length);
}

class ReleaseTool : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    source_ = root_ / "client", out_ = root_ / "release";
    fs::create_directories(source_);
  }
  void TearDown() override {
    freeFileDescriptorList();
    ScratchTest::TearDown();
  }
  void put(const std::string& path, const std::string& bytes) {
    fs::create_directories((source_ / path).parent_path());
    writeFile(source_ / path, files_[path] = bytes);
  }
  // Runs the tool with OPTIONS and ARGUMENTS (default: source, base URL, output).
  int run(const std::string& options, std::string arguments = "") {
    if (arguments.empty())
      arguments = " '" + source_.string() + "' '" + kBase + "' '" + out_.string() + "'";
    int code = runShell(VELORIN_RELEASE_TOOL " " + options + arguments + " >/dev/null 2>'" +
                        (root_ / "err").string() + "'");
    errors_ = readFile(root_ / "err");
    return code;
  }
  void readManifest() {
    std::string manifest = readFile(out_ / "product.txt");
    ASSERT_EQ(parseManifest(manifest.data(), manifest.size()), MANIFEST_OK);
    ASSERT_NE(g_pxFileDescriptor, nullptr);
  }
  bool said(const char* text) { return errors_.find(text) != std::string::npos; }

  fs::path source_, out_;
  std::map<std::string, std::string> files_;  // what was put, by path
  std::string errors_;
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
  ASSERT_EQ(run("--roles '" + (root_ / "roles.txt").string() +
                "' --flash flash/flash_player.exe --unchecked 'docs/n*'"),
            0)
      << errors_;
  EXPECT_FALSE(fs::exists(out_.string() + ".partial"));
  readManifest();
  const std::map<std::string, std::string> roles = {{"quenzar.exe", "3"},
                                                    {"bin/QuenzarClient.exe", "1"},
                                                    {"setup/install.exe", "8"},
                                                    {"flash/flash_player.exe", "9"}};
  std::map<std::string, std::string> unseen = files_;
  size_t served = 1, compressed = 0;                            // product.txt
  EXPECT_STREQ(g_pxFileDescriptor->szBaseName, "quenzar.exe");  // the stub comes first
  for (const FileDescriptor* e = g_pxFileDescriptor; e; e = e->pNext, ++served) {
    std::string url = servedPath(e), path = url.substr(0, url.size() - 2 * e->bCompressed);
    SCOPED_TRACE(path);
    ASSERT_EQ(unseen.count(path), 1u);
    const std::string source = unseen[path];
    unseen.erase(path);
    std::string target = ".\\" + url;
    std::replace(target.begin(), target.end(), '/', '\\');
    EXPECT_EQ(target, e->szTargetFilename);
    EXPECT_EQ(fs::path(path).filename().string(), e->szBaseName);
    EXPECT_EQ(e->bStubFile != 0, path == "quenzar.exe");
    EXPECT_EQ(roles.count(path) ? roles.at(path) : "0", e->szFileType);
    EXPECT_EQ(entryBytes(out_, e), source);
    compressed += e->bCompressed;
    EXPECT_EQ(url.substr(url.size() - 2) == ".z", e->bCompressed != 0);
    EXPECT_EQ(e->ulExpectedCrc,
              path == "docs/notes.txt" ? 0u : zlibCrc(path == "quenzar.exe" ? body : source));
  }
  EXPECT_TRUE(unseen.empty());
  EXPECT_EQ(compressed, 1u + 1 + 7);  // client, empty file, data/set1
  size_t onDisk = 0;
  for (auto& f : fs::recursive_directory_iterator(out_))
    onDisk += f.is_regular_file();
  EXPECT_EQ(onDisk, served);
}

// Files swapped between two versions while the tool runs: each entry still
// describes the very bytes published.
TEST_F(ReleaseTool, FileChangingMeanwhileGetsTheEntryOfTheBytesServed) {
  const int kFiles = 40;
  put("bin/client.exe", "client");
  fs::create_directories(root_ / "v"), fs::create_directories(source_ / "data");
  for (int i = 0; i < 3 * kFiles; ++i)  // each file, then its two versions
    std::ofstream(
        i < kFiles ? source_ / "data" / ("f" + std::to_string(i)) : root_ / "v" / std::to_string(i),
        std::ios::binary)
        << randomBytes(size_t(2000 + 10 * i), unsigned(100 + i));
  std::atomic<bool> done{false};
  std::thread swapper([&] {
    for (unsigned n = 0; !done; ++n)
      for (int i = 0; i < kFiles; ++i) {
        fs::copy_file(root_ / "v" / std::to_string(kFiles * (1 + n % 2) + i), root_ / "copy",
                      fs::copy_options::overwrite_existing);
        fs::rename(root_ / "copy", source_ / "data" / ("f" + std::to_string(i)));
      }
  });
  int code = run("--primary bin/client.exe --compress 'data/f1*'");
  done = true;
  swapper.join();
  ASSERT_EQ(code, 0) << errors_;
  readManifest();
  size_t entries = 0;
  for (const FileDescriptor* e = g_pxFileDescriptor; e; e = e->pNext, ++entries)
    EXPECT_EQ(e->ulExpectedCrc, zlibCrc(entryBytes(out_, e))) << e->szUrl;
  EXPECT_EQ(entries, size_t(kFiles + 1));
}

TEST_F(ReleaseTool, RefusesWhatTheStubCouldNotUseLinksBadUrlsAndOutputPlaces) {
  const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e') + "/";
  const std::string path257 = deep + std::string(257 - deep.size(), 'f');  // ".\" + 257 = 259
  const std::string src = " " + source_.string(), out = " " + out_.string();
  const struct {
    std::string file;  // an extra file in the folder ("" for none)
    const char* options;
    int exit;
    const char* message;
    std::string arguments = "";  // source, base URL, output; "" for the usual
  } cases[] = {
      {"", "", 0, ""},
      {path257, "", 0, ""},
      {path257 + "g", "", 3, "260 characters or more"},
      {std::string(128, 'n'), "", 3, "128 characters or more"},
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
      {"", "", 2, "base URL", src + " ftp://x/y" + out},
      {"", "", 2, "base URL", src + " http://" + out},
      {"", "", 2, "base URL", src + " http:///r7" + out},
      {"", "", 2, "base URL", src + " 'http://h/a b'" + out},
      {"", "", 2, "base URL", src + " 'http://h/a|b'" + out},
      {"", "", 2, "must lie outside", src + " http://h " + (source_ / "out").string()},
      {"", "", 2, "must lie outside", src + " http://h" + src},
      {"", "", 2, "must lie outside", src + " http://h " + (source_ / "bin/client.exe").string()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + c.options + c.arguments);
    fs::remove_all(out_), fs::remove_all(source_);
    put("bin/client.exe", "client");
    put("a.dat", "data");
    if (!c.file.empty())
      put(c.file, "extra");
    std::string options = c.options;
    EXPECT_EQ(run(options.find("--primary") ? options + " --primary bin/client.exe" : options,
                  c.arguments),
              c.exit)
        << errors_;
    EXPECT_TRUE(said(c.message)) << errors_;
    EXPECT_EQ(fs::exists(out_), c.exit == 0);
  }
  fs::remove_all(out_);
  fs::create_symlink("/etc", source_ / "etc");
  EXPECT_EQ(run("--primary bin/client.exe"), 3);
  EXPECT_TRUE(said("etc: a link, not followed")) << errors_;
  fs::remove(source_ / "etc");
  fs::create_directories(out_ / "old");
  EXPECT_EQ(run("--primary bin/client.exe"), 2);
  EXPECT_TRUE(said("not an empty folder")) << errors_;
  fs::remove(out_ / "old");
  // An empty folder is taken; a stub without a tail is published with a warning.
  put("quenzar.exe", "MZ without a tail");
  EXPECT_EQ(run("--primary bin/client.exe --stub quenzar.exe"), 0) << errors_;
  EXPECT_EQ(readFile(out_ / "bin/client.exe"), "client");
  EXPECT_TRUE(said("stub quenzar.exe is not packed")) << errors_;
  // Relative paths, from the folder above.
  EXPECT_EQ(runShell("cd " + root_.string() +
                     " && " VELORIN_RELEASE_TOOL
                     " --primary bin/client.exe client http://h/r/ next >/dev/null"),
            0);
  EXPECT_EQ(readFile(root_ / "next/product.txt").rfind("http://h/r/bin/client.exe|.\\bin\\", 0),
            0u);
  EXPECT_EQ(run("--help", " "), 0);
}
