// Runs the real velorin-pack on generated stubs and reads the result byte by
// byte from the layout (not with the stub's reader); zlib's crc32 is the
// independent oracle for the stub's checksum.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

uint32_t le(const std::string& d, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(d.at(at + i));
  return v;
}

// The tail read from its layout: affiliate, table, count.
struct Tail {
  std::string affiliate;
  struct Entry {
    std::string name;
    uint32_t position, size;
  };
  std::vector<Entry> entries;
  uint32_t count;
  size_t tableStart;
};

Tail readTail(const std::string& d) {
  Tail t;
  EXPECT_EQ(d.substr(d.size() - 2), "\x55\xAA");
  size_t l = le(d, d.size() - 4, 2), tableSize = le(d, d.size() - 12 - l, 4);
  t.affiliate = d.substr(d.size() - 4 - l, l);
  t.count = le(d, d.size() - 8 - l, 4);
  t.tableStart = d.size() - 12 - l - tableSize;
  for (size_t at = t.tableStart, n; at < t.tableStart + tableSize; at += 10 + n) {
    n = le(d, at, 2);
    t.entries.push_back({d.substr(at + 2, n), le(d, at + 2 + n, 4), le(d, at + 6 + n, 4)});
  }
  return t;
}

uint32_t stubChecksum(const std::string& d) {
  return uint32_t(crc32(0xFFFFFFFFu, reinterpret_cast<const Bytef*>(d.data()),
                        uInt(d.size() - 4 - le(d, d.size() - 4, 2))));
}

class PackTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velorin_pack_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    put("velorin.exe", stub_);
    put("lib.bin", "library");
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string put(const std::string& name, const std::string& bytes) {
    std::ofstream(root_ / name, std::ios::binary) << bytes;
    return path(name);
  }
  std::string read(const std::string& name) {
    std::stringstream s;
    s << std::ifstream(root_ / name, std::ios::binary).rdbuf();
    return s.str();
  }
  std::string path(const std::string& name) { return "'" + (root_ / name).string() + "'"; }
  // Runs the tool; IN and OUT name files in the test's folder.
  int run(const std::string& args, const char* in = "velorin.exe", const char* out = "out.exe") {
    int status =
        system((VELORIN_PACK_TOOL " " + args + " " + path(in) + (*out ? " " + path(out) : "") +
                " >" + path("stdout.txt") + " 2>" + path("stderr.txt"))
                   .c_str());
    errors_ = read("stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path root_;
  const std::string stub_ = "MZ" + std::string(50000, '\x90') + "image end";
  std::string errors_;
};

}  // namespace

// Packs, lists, then re-labels: one release serves every affiliate, so only
// the text and its length change and the stub's checksum stays.
TEST_F(PackTool, CarriedFilesAndTailLieWhereTheStubReadsThem) {
  std::string atl = std::string(35328, 'A') + "end of library";
  std::string affiliate = "0123456789abcdef0123456789abcdef01234567890123456789";  // 52
  ASSERT_EQ(run("--affiliate " + affiliate + " --carry atl98.dll=" + put("atl.bin", atl) +
                    " --carry empty.txt=" + put("empty.bin", ""),
                "velorin.exe", "a.exe"),
            0);
  std::string packed = read("a.exe");
  EXPECT_EQ(packed.substr(0, stub_.size()), stub_) << "the image is kept whole";
  Tail tail = readTail(packed);
  EXPECT_EQ(tail.affiliate, affiliate);
  EXPECT_EQ(tail.count, 2u);
  ASSERT_EQ(tail.entries.size(), 2u);
  EXPECT_EQ(tail.entries[0].name, "atl98.dll");
  EXPECT_EQ(tail.entries[0].position, stub_.size() + 1) << "1-based, just after the image";
  EXPECT_EQ(packed.substr(tail.entries[0].position - 1, tail.entries[0].size), atl);
  EXPECT_EQ(tail.entries[1].name, "empty.txt");
  EXPECT_EQ(tail.entries[1].size, 0u);
  EXPECT_EQ(tail.entries[1].position - 1, tail.tableStart) << "the last block ends at the table";

  ASSERT_EQ(run("--list", "a.exe", ""), 0);
  for (const std::string& line :
       {"affiliate\t" + affiliate, "checksum\t" + std::to_string(stubChecksum(packed)),
        "file\tatl98.dll\t" + std::to_string(stub_.size() + 1) + "\t35342"})
    EXPECT_NE(read("stdout.txt").find(line + "\n"), std::string::npos) << line;

  for (const std::string& other : {std::string("x"), std::string(255, 'Z'), std::string("b-1_2")}) {
    ASSERT_EQ(run("--affiliate " + other, "a.exe", "b.exe"), 0) << other;
    std::string b = read("b.exe");
    EXPECT_EQ(readTail(b).affiliate, other);
    EXPECT_EQ(b.size(), packed.size() - affiliate.size() + other.size());
    EXPECT_EQ(b.substr(0, packed.size() - 56), packed.substr(0, packed.size() - 56));
    EXPECT_EQ(stubChecksum(b), stubChecksum(packed));
  }
  ASSERT_EQ(run("--affiliate third", "b.exe", "b.exe"), 0) << "in place";
  EXPECT_EQ(readTail(read("b.exe")).affiliate, "third");
  // No affiliate at all: L = 0, still a tail.
  ASSERT_EQ(run(""), 0);
  EXPECT_EQ(read("out.exe"), stub_ + std::string("\0\0\0\0\0\0\0\0\0\0\x55\xAA", 12));
}

TEST_F(PackTool, RefusesWhatTheStubCouldNotUseAndWritesNothing) {
  std::string many, lib = "=" + path("lib.bin");
  for (int i = 0; i < 11; ++i)
    many += " --carry f" + std::to_string(i) + ".dll" + lib;
  ASSERT_EQ(run("--carry a.dll" + lib, "velorin.exe", "packed.exe"), 0);
  std::string cut = read("packed.exe");
  put("cut.exe", cut.substr(0, 20) + cut.substr(cut.size() - 4));
  struct {
    std::string args;
    const char* in;
    int code;
    const char* says;
  } cases[] = {
      {many, "velorin.exe", 3, "at most 10"},
      {"--carry .." + lib, "velorin.exe", 3, "plain file name"},
      {"--carry '..\\evil.dll'" + lib, "velorin.exe", 3, "plain file name"},
      {"--carry sub/evil.dll" + lib, "velorin.exe", 3, "plain file name"},
      {"--carry c:evil.dll" + lib, "velorin.exe", 3, "plain file name"},
      {"--carry NUL.dll" + lib, "velorin.exe", 3, "plain file name"},
      {"--carry " + std::string(260, 'n') + lib, "velorin.exe", 3, "plain file name"},
      {"--carry a.dll" + lib + " --carry A.DLL" + lib, "velorin.exe", 3, "twice"},
      {"--affiliate " + std::string(256, 'a'), "velorin.exe", 3, "1 to 255"},
      {"--affiliate 'bad id'", "velorin.exe", 3, "1 to 255"},
      {"--affiliate 'a&session=x'", "velorin.exe", 3, "1 to 255"},
      {"--carry a.dll=" + path("missing.bin"), "velorin.exe", 4, "cannot read"},
      {"--carry a.dll", "velorin.exe", 2, "NAME=PATH"},
      // A packed stub is packed again by no one; one cut short is damaged.
      {"", "packed.exe", 3, "already packed"},
      {"--affiliate x --carry b.dll" + lib, "packed.exe", 3, "already"},
      {"--affiliate x", "cut.exe", 3, "damaged"},
      {"", "missing.exe", 4, "cannot read"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.args, c.in), c.code) << c.args;
    EXPECT_NE(errors_.find(c.says), std::string::npos) << c.args << ": " << errors_;
    EXPECT_FALSE(fs::exists(root_ / "out.exe")) << c.args;
  }
  EXPECT_EQ(run("--list", "velorin.exe", ""), 3);
  EXPECT_NE(errors_.find("not packed"), std::string::npos) << errors_;
  // The longest name and ten files are taken.
  ASSERT_EQ(
      run(many.substr(many.find(" --carry f2.dll")) + " --carry " + std::string(259, 'n') + lib),
      0);
}
