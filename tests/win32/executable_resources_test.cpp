// The bitmaps of the built velorin.exe (VELORIN_EXE). The panels as shown are
// the window scenario's pixels, the About keys the prompts scenario's, the
// file version the startup scenario's.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/resource.h"

TEST(ExecutableResources, ArtworkAtItsSizesAndDepths) {
  const char* path = getenv("VELORIN_EXE");
  ASSERT_NE(nullptr, path) << "VELORIN_EXE names the velorin.exe to check";
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module) << path << " error " << GetLastError();
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
  }
  FreeLibrary(module);
}
