// The resources of the built velorin.exe, read the way the program reads them.
// ctest passes the executable's path in VELORIN_EXE.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/resource.h"

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

// The window is built from these bitmaps at fixed positions, so each must
// have exactly its size; the depth is the one the panels were drawn for.
TEST_F(ExecutableResources, WindowArtworkAtItsSizesAndDepths) {
  struct Artwork {
    int id, width, height, bits;
  };
  const Artwork artwork[] = {
      {IDB_TOP_PANEL, 420, 92, 8}, {IDB_MIDDLE_PANEL, 420, 186, 8}, {IDB_BOTTOM_PANEL, 420, 67, 4},
      {IDB_CANCEL, 78, 19, 8},     {IDB_ACCEPT, 79, 19, 8},         {IDB_BROWSE, 79, 19, 8},
      {IDB_MINIMIZE, 17, 13, 8},
  };
  for (const Artwork& a : artwork) {
    SCOPED_TRACE(a.id);
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(a.id), MAKEINTRESOURCEA(2));  // RT_BITMAP
    ASSERT_NE(nullptr, found);
    ASSERT_GE(SizeofResource(module_, found), sizeof(BITMAPINFOHEADER));
    const BITMAPINFOHEADER* info =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module_, found)));
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), info->biSize);
    EXPECT_EQ(a.width, info->biWidth);
    EXPECT_EQ(a.height, info->biHeight);  // positive: rows stored bottom-up
    EXPECT_EQ(a.bits, info->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), info->biCompression);
    // Palette and rows (each padded to four bytes) are all there.
    DWORD stride = ((a.width * a.bits + 31) / 32) * 4;
    EXPECT_EQ(info->biSize + (4u << a.bits) + stride * a.height, SizeofResource(module_, found));

    // And the loader the window paints with accepts it.
    HBITMAP loaded = static_cast<HBITMAP>(
        LoadImageA(module_, MAKEINTRESOURCEA(a.id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    ASSERT_NE(nullptr, loaded);
    BITMAP bitmap = {};
    EXPECT_EQ(static_cast<int>(sizeof bitmap), GetObjectA(loaded, sizeof bitmap, &bitmap));
    DeleteObject(loaded);
    EXPECT_EQ(a.width, bitmap.bmWidth);
    EXPECT_EQ(a.height, bitmap.bmHeight);
  }
}

}  // namespace
