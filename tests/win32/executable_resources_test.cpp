// The resources of the built velorin.exe, read the way the program reads them.
// ctest passes the executable's path in VELORIN_EXE.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/resource.h"

namespace {

class ExecutableResources : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = getenv("VELORIN_EXE");
    ASSERT_NE(nullptr, path) << "VELORIN_EXE names the velorin.exe to check";
    module_ = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module_) << path << " error " << GetLastError();
  }
  void TearDown() override {
    if (module_)
      FreeLibrary(module_);
  }
  std::string text(UINT id) {
    char buffer[256] = "";
    LoadStringA(module_, id, buffer, sizeof buffer);
    return buffer;
  }
  HMODULE module_ = nullptr;
};

TEST_F(ExecutableResources, StringTable) {
  EXPECT_EQ("Quenzar", text(103));
  EXPECT_EQ("Waiting for Internet Connection...", text(111));
  EXPECT_EQ("Downloading updates.  Please be patient.", text(112));
  EXPECT_EQ("Please read the terms of the licensing agreement to continue.", text(113));
  EXPECT_EQ("Loading", text(114));
  EXPECT_EQ("Executing Client.", text(115));
  EXPECT_EQ("Shutting down...", text(116));
  EXPECT_EQ("Shutting down and restarting", text(117));
  EXPECT_EQ("You must install Flash %d to play poker.", text(118));
  EXPECT_EQ("InstallerWindow", text(119));
  EXPECT_EQ("Removing client from your machine.", text(121));
  EXPECT_EQ("Please try again later.", text(122));
  EXPECT_EQ("", text(120));
}

TEST_F(ExecutableResources, AboutAcceleratorsOnAltQuestionMarkAndSlash) {
  HACCEL table = LoadAcceleratorsA(module_, MAKEINTRESOURCEA(IDA_ACCELERATORS));
  ASSERT_NE(nullptr, table);
  int count = CopyAcceleratorTableA(table, nullptr, 0);
  ASSERT_EQ(2, count);
  std::vector<ACCEL> entries(count);
  CopyAcceleratorTableA(table, entries.data(), count);
  DestroyAcceleratorTable(table);
  std::string keys;
  for (const ACCEL& entry : entries) {
    EXPECT_EQ(IDM_ABOUT, entry.cmd);
    EXPECT_EQ(FALT, entry.fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT));
    keys += static_cast<char>(entry.key);
  }
  EXPECT_TRUE(keys == "?/" || keys == "/?") << keys;
}

TEST_F(ExecutableResources, IconAboutBoxAndVersion) {
  EXPECT_NE(nullptr, FindResourceA(module_, MAKEINTRESOURCEA(IDI_VELORIN), MAKEINTRESOURCEA(14)));
  EXPECT_NE(nullptr, FindResourceA(module_, MAKEINTRESOURCEA(IDD_ABOUTBOX), MAKEINTRESOURCEA(5)));

  const char* path = getenv("VELORIN_EXE");
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);  // 1.0
  EXPECT_EQ(0u, HIWORD(fixed->dwFileVersionLS));      // .0.x
}

}  // namespace
