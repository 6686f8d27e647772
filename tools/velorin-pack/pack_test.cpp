// Runs the real velorin-pack on generated stubs and reads the result byte by
// byte from the layout (not with the stub's reader); zlib's crc32 is the
// independent oracle for the stub's checksum.
#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace fs = std::filesystem;

namespace {

class PackTool : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    put("velorin.exe", stub_);
    put("lib.bin", "library");
  }
  std::string put(const std::string& name, const std::string& bytes) {
    writeFile(root_ / name, bytes);
    return path(name);
  }
  std::string read(const std::string& name) { return readFile(root_ / name); }
  void expectFile(const std::string& name, const std::string& expected) {
    EXPECT_TRUE(read(name) == expected) << name;  // not printed: 50 KB each
  }
  std::string path(const std::string& name) { return "'" + (root_ / name).string() + "'"; }
  // Runs the tool; IN and OUT name files in the test's folder.
  int run(const std::string& args, const char* in = "velorin.exe", const char* out = "out.exe") {
    int code =
        runShell(VELORIN_PACK_TOOL " " + args + " " + path(in) + (*out ? " " + path(out) : "") +
                 " >" + path("stdout.txt") + " 2>" + path("stderr.txt"));
    errors_ = read("stderr.txt");
    return code;
  }

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
  // The image kept whole, the empty file's block ends at the table.
  const CarriedBlocks files = {{"atl98.dll", atl}, {"empty.txt", ""}};
  const std::string packed = packedStub(stub_, files, affiliate);
  expectFile("a.exe", packed);
  uint32_t checksum = zlibCrc(packed.substr(0, packed.size() - 4 - affiliate.size()));
  ASSERT_EQ(run("--list", "a.exe", ""), 0);
  for (const std::string& line :
       {"affiliate\t" + affiliate, "checksum\t" + std::to_string(checksum),
        "file\tatl98.dll\t" + std::to_string(stub_.size() + 1) + "\t35342"})
    EXPECT_NE(read("stdout.txt").find(line + "\n"), std::string::npos) << line;

  for (const std::string& other : {std::string("x"), std::string(255, 'Z'), std::string("b-1_2")}) {
    ASSERT_EQ(run("--affiliate " + other, "a.exe", "b.exe"), 0) << other;
    expectFile("b.exe", packedStub(stub_, files, other));
  }
  ASSERT_EQ(run("--affiliate third", "b.exe", "b.exe"), 0) << "in place";
  expectFile("b.exe", packedStub(stub_, files, "third"));
  // No affiliate at all: L = 0, still a tail.
  ASSERT_EQ(run(""), 0);
  expectFile("out.exe", packedStub(stub_, {}, ""));
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
      // Which names and affiliates the stub takes is its reader's own test.
      {"--carry '..\\evil.dll'" + lib, "velorin.exe", 3, "plain file name"},
      {"--carry " + std::string(260, 'n') + lib, "velorin.exe", 3, "plain file name"},
      {"--carry a.dll" + lib + " --carry A.DLL" + lib, "velorin.exe", 3, "twice"},
      {"--affiliate " + std::string(256, 'a'), "velorin.exe", 3, "1 to 255"},
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
