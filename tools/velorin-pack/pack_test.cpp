// Runs the real velorin-pack on generated stubs and reads the result byte by
// byte from the layout (not with the stub's reader); zlib's crc32 is the
// independent oracle for the stub's checksum.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

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
  size_t l = le(d, d.size() - 4, 2);
  t.affiliate = d.substr(d.size() - 4 - l, l);
  t.count = le(d, d.size() - 8 - l, 4);
  size_t tableSize = le(d, d.size() - 12 - l, 4);
  t.tableStart = d.size() - 12 - l - tableSize;
  for (size_t at = t.tableStart; at < t.tableStart + tableSize;) {
    size_t n = le(d, at, 2);
    t.entries.push_back({d.substr(at + 2, n), le(d, at + 2 + n, 4), le(d, at + 6 + n, 4)});
    at += 10 + n;
  }
  return t;
}

uint32_t stubChecksum(const std::string& d) {
  size_t l = le(d, d.size() - 4, 2);
  return static_cast<uint32_t>(
      crc32(0xFFFFFFFFu, reinterpret_cast<const Bytef*>(d.data()), d.size() - 4 - l));
}

class PackTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velorin_pack_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    stub_ = "MZ" + std::string(50000, '\x90') + "image end";
    put("velorin.exe", stub_);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string put(const std::string& name, const std::string& bytes) {
    std::ofstream(root_ / name, std::ios::binary) << bytes;
    return (root_ / name).string();
  }

  int run(const std::string& args, std::string* errors = nullptr) {
    int status = system((std::string(VELORIN_PACK_TOOL) + " " + args + " >" + path("stdout.txt") +
                         " 2>" + path("stderr.txt"))
                            .c_str());
    if (errors)
      *errors = readAll(root_ / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string path(const std::string& name) { return "'" + (root_ / name).string() + "'"; }

  fs::path root_;
  std::string stub_;
};

}  // namespace

TEST_F(PackTool, CarriedFilesAndTailLieWhereTheStubReadsThem) {
  std::string atl = std::string(35328, 'A') + "end of library";
  put("atl.bin", atl);
  put("empty.bin", "");
  std::string affiliate = "0123456789abcdef0123456789abcdef01234567890123456789";
  ASSERT_EQ(affiliate.size(), 52u);
  ASSERT_EQ(run("--affiliate " + affiliate + " --carry atl98.dll=" + path("atl.bin") +
                " --carry empty.txt=" + path("empty.bin") + " " + path("velorin.exe") + " " +
                path("quenzar.exe")),
            0);
  std::string packed = readAll(root_ / "quenzar.exe");
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
  EXPECT_EQ(tail.entries[1].position - 1 + tail.entries[1].size, tail.tableStart)
      << "the last block ends where the table starts";

  // The listing names what the tail holds.
  ASSERT_EQ(run("--list " + path("quenzar.exe")), 0);
  std::string listing = readAll(root_ / "stdout.txt");
  for (const std::string& line :
       {"affiliate\t" + affiliate, "checksum\t" + std::to_string(stubChecksum(packed)),
        "file\tatl98.dll\t" + std::to_string(stub_.size() + 1) + "\t35342"})
    EXPECT_NE(listing.find(line + "\n"), std::string::npos) << line << " in " << listing;

  // No affiliate at all: L = 0, still a tail.
  ASSERT_EQ(run(path("velorin.exe") + " " + path("plain.exe")), 0);
  std::string bare = readAll(root_ / "plain.exe");
  EXPECT_EQ(bare, stub_ + std::string("\0\0\0\0\0\0\0\0\0\0\x55\xAA", 12));
}

// One release serves every affiliate: re-labelling changes only the text and
// its length, so the stub's checksum is the same for each copy.
TEST_F(PackTool, AnotherAffiliateKeepsTheChecksumAndTheCarriedFiles) {
  put("atl.bin", std::string(3000, 'x'));
  ASSERT_EQ(run("--affiliate first --carry atl98.dll=" + path("atl.bin") + " " +
                path("velorin.exe") + " " + path("a.exe")),
            0);
  std::string a = readAll(root_ / "a.exe");
  std::string longest(255, 'Z');
  for (const std::string& other : {std::string("x"), longest, std::string("second-one_2")}) {
    ASSERT_EQ(run("--affiliate " + other + " " + path("a.exe") + " " + path("b.exe")), 0) << other;
    std::string b = readAll(root_ / "b.exe");
    EXPECT_EQ(readTail(b).affiliate, other);
    EXPECT_EQ(b.size(), a.size() - 5 + other.size());
    EXPECT_EQ(b.substr(0, a.size() - 9), a.substr(0, a.size() - 9)) << "all before the text kept";
    EXPECT_EQ(stubChecksum(b), stubChecksum(a));
  }
  // In place, as an operator re-labels a copy.
  ASSERT_EQ(run("--affiliate third " + path("b.exe") + " " + path("b.exe")), 0);
  EXPECT_EQ(readTail(readAll(root_ / "b.exe")).affiliate, "third");
}

TEST_F(PackTool, RefusesWhatTheStubCouldNotUseAndWritesNothing) {
  put("lib.bin", "library");
  std::string many;
  for (int i = 0; i < 11; ++i)
    many += " --carry f" + std::to_string(i) + ".dll=" + path("lib.bin");
  ASSERT_EQ(run("--carry a.dll=" + path("lib.bin") + " " + path("velorin.exe") + " " +
                path("packed.exe")),
            0);
  struct {
    std::string args;
    int code;
    const char* says;
  } cases[] = {
      {many, 3, "at most 10"},
      {"--carry ..=" + path("lib.bin"), 3, "plain file name"},
      {"--carry '..\\evil.dll'=" + path("lib.bin"), 3, "plain file name"},
      {"--carry sub/evil.dll=" + path("lib.bin"), 3, "plain file name"},
      {"--carry c:evil.dll=" + path("lib.bin"), 3, "plain file name"},
      {"--carry NUL.dll=" + path("lib.bin"), 3, "plain file name"},
      {"--carry " + std::string(260, 'n') + "=" + path("lib.bin"), 3, "plain file name"},
      {"--carry a.dll=" + path("lib.bin") + " --carry A.DLL=" + path("lib.bin"), 3, "twice"},
      {"--affiliate " + std::string(256, 'a'), 3, "1 to 255"},
      {"--affiliate 'bad id'", 3, "1 to 255"},
      {"--affiliate 'a&session=x'", 3, "1 to 255"},
      {"--carry a.dll=" + path("missing.bin"), 4, "cannot read"},
      {"--carry a.dll", 2, "NAME=PATH"},
  };
  for (const auto& c : cases) {
    std::string errors;
    EXPECT_EQ(run(c.args + " " + path("velorin.exe") + " " + path("out.exe"), &errors), c.code)
        << c.args;
    EXPECT_NE(errors.find(c.says), std::string::npos) << c.args << ": " << errors;
    EXPECT_FALSE(fs::exists(root_ / "out.exe")) << c.args;
  }
  // An already packed stub is not packed again, with or without files; a
  // packed stub cut short is damaged, not re-labelled.
  std::string cut = readAll(root_ / "packed.exe");
  put("cut.exe", cut.substr(0, 20) + cut.substr(cut.size() - 4));
  const std::pair<std::string, const char*> packedCases[] = {
      {path("packed.exe"), "already packed"},
      {"--affiliate x --carry b.dll=" + path("lib.bin") + " " + path("packed.exe"), "already"},
      {"--affiliate x " + path("cut.exe"), "damaged"},
  };
  for (const auto& c : packedCases) {
    std::string errors;
    EXPECT_EQ(run(c.first + " " + path("again.exe"), &errors), 3) << c.first;
    EXPECT_NE(errors.find(c.second), std::string::npos) << c.first << ": " << errors;
  }
  EXPECT_FALSE(fs::exists(root_ / "again.exe"));
  EXPECT_EQ(run(path("missing.exe") + " " + path("again.exe")), 4);
  std::string errors;
  EXPECT_EQ(run("--list " + path("velorin.exe"), &errors), 3);
  EXPECT_NE(errors.find("not packed"), std::string::npos) << errors;
  // The longest name and ten files are taken.
  ASSERT_EQ(run(many.substr(many.find(" --carry f2.dll")) + " --carry " + std::string(259, 'n') +
                "=" + path("lib.bin") + " " + path("velorin.exe") + " " + path("out.exe")),
            0);
}
