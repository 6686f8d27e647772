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
    ASSERT_NE(nullptr, m_path) << "VELORIN_EXE names the velorin.exe to check";
    m_module = LoadLibraryExA(m_path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, m_module) << m_path << " error " << GetLastError();
  }
  void TearDown() override { FreeLibrary(m_module); }
  const char* m_path = getenv("VELORIN_EXE");
  HMODULE m_module = nullptr;
};

TEST_F(ExecutableResources, AcceleratorsAndVersion) {
  // About on Alt+? and Alt+/.
  HACCEL table = LoadAcceleratorsA(m_module, MAKEINTRESOURCEA(IDA_ACCELERATORS));
  ACCEL entries[3] = {};
  ASSERT_EQ(2, CopyAcceleratorTableA(table, entries, 3));
  DestroyAcceleratorTable(table);
  std::string keys;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(IDM_ABOUT, entries[i].cmd);
    EXPECT_EQ(FALT, entries[i].fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT));
    keys += static_cast<char>(entries[i].key);
  }
  EXPECT_TRUE(keys == "?/" || keys == "/?") << keys;

  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeA(m_path, &ignored));
  ASSERT_TRUE(GetFileVersionInfoA(m_path, 0, data.size(), data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  // 1.0.0.x: what a self-update compares.
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
  EXPECT_EQ(0u, HIWORD(fixed->dwFileVersionLS));
}

// The window is built from these bitmaps at fixed positions, so each must
// have exactly its size; the depth is the one the panels were drawn for.
TEST_F(ExecutableResources, WindowArtworkAtItsSizesAndDepths) {
  const struct {
    int id, width, height, bits;
  } artwork[] = {
      {IDB_TOP_PANEL, 420, 92, 8}, {IDB_MIDDLE_PANEL, 420, 186, 8}, {IDB_BOTTOM_PANEL, 420, 67, 4},
      {IDB_CANCEL, 78, 19, 8},     {IDB_ACCEPT, 79, 19, 8},         {IDB_BROWSE, 79, 19, 8},
      {IDB_MINIMIZE, 17, 13, 8},
  };
  for (const auto& a : artwork) {
    SCOPED_TRACE(a.id);
    HRSRC found =
        FindResourceA(m_module, MAKEINTRESOURCEA(a.id), MAKEINTRESOURCEA(2));  // RT_BITMAP
    ASSERT_NE(nullptr, found);
    const auto* info =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(m_module, found)));
    ASSERT_GE(SizeofResource(m_module, found), sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), info->biSize);
    EXPECT_EQ(a.width, info->biWidth);
    EXPECT_EQ(a.height, info->biHeight);  // positive: rows stored bottom-up
    EXPECT_EQ(a.bits, info->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), info->biCompression);
    // Palette and rows (each padded to four bytes) are all there.
    DWORD stride = ((a.width * a.bits + 31) / 32) * 4;
    EXPECT_EQ(info->biSize + (4u << a.bits) + stride * a.height, SizeofResource(m_module, found));
    // And the loader the window paints with accepts it.
    HBITMAP loaded = static_cast<HBITMAP>(
        LoadImageA(m_module, MAKEINTRESOURCEA(a.id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    BITMAP bitmap = {};
    EXPECT_EQ(static_cast<int>(sizeof bitmap), GetObjectA(loaded, sizeof bitmap, &bitmap));
    DeleteObject(loaded);
    EXPECT_EQ(a.width, bitmap.bmWidth);
    EXPECT_EQ(a.height, bitmap.bmHeight);
  }
}

}  // namespace
