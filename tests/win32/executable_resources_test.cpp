// The resources of the built velorin.exe (VELORIN_EXE), read the way the
// program reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/resource.h"

TEST(ExecutableResources, AcceleratorsVersionAndArtworkAtItsSizesAndDepths) {
  const char* path = getenv("VELORIN_EXE");
  ASSERT_NE(nullptr, path) << "VELORIN_EXE names the velorin.exe to check";
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module) << path << " error " << GetLastError();
  HACCEL table = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDA_ACCELERATORS));
  ACCEL keys[3] = {};
  ASSERT_EQ(2, CopyAcceleratorTableA(table, keys, 3));  // About on Alt+? and Alt+/
  DestroyAcceleratorTable(table);
  for (const ACCEL& key : {keys[0], keys[1]})
    EXPECT_TRUE(key.cmd == IDM_ABOUT && (key.key == '?' || key.key == '/') &&
                (key.fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT)) == FALT);
  EXPECT_NE(keys[0].key, keys[1].key);

  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeA(path, &ignored));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, data.size(), data.data()) &&
              VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);  // 1.0.0.x: what a self-update compares
  EXPECT_EQ(0u, HIWORD(fixed->dwFileVersionLS));

  // The window is built from these bitmaps at fixed positions, each at the
  // depth its panel was drawn for; palette and padded rows all there.
  const struct {
    int id, width, height, bits;
  } artwork[] = {
      {IDB_TOP_PANEL, 420, 92, 8}, {IDB_MIDDLE_PANEL, 420, 186, 8}, {IDB_BOTTOM_PANEL, 420, 67, 4},
      {IDB_CANCEL, 78, 19, 8},     {IDB_ACCEPT, 79, 19, 8},         {IDB_BROWSE, 79, 19, 8},
      {IDB_MINIMIZE, 17, 13, 8},
  };
  for (const auto& a : artwork) {
    SCOPED_TRACE(a.id);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(a.id), MAKEINTRESOURCEA(2));  // RT_BITMAP
    ASSERT_NE(nullptr, found);
    const auto* info =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    ASSERT_GE(SizeofResource(module, found), sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(std::vector<long>({long(sizeof *info), a.width, a.height, a.bits, BI_RGB}),
              std::vector<long>({long(info->biSize), info->biWidth, info->biHeight,
                                 info->biBitCount, long(info->biCompression)}));
    DWORD stride = ((a.width * a.bits + 31) / 32) * 4;
    EXPECT_EQ(info->biSize + (4u << a.bits) + stride * a.height, SizeofResource(module, found));
    HBITMAP loaded = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(a.id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    BITMAP bitmap = {};
    EXPECT_EQ(int(sizeof bitmap), GetObjectA(loaded, sizeof bitmap, &bitmap));
    DeleteObject(loaded);
    EXPECT_EQ(a.width * 1000 + a.height, bitmap.bmWidth * 1000 + bitmap.bmHeight);
  }
  FreeLibrary(module);
}
