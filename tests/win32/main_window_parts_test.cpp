// The window's parts on real Win32 (Wine), their places left to the window
// scenarios: the middle area's controls, the folder probe, the temporary file
// names, the last file of an update stored.
#include <gtest/gtest.h>

#include <string>

#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/window_handlers.h"
#include "tests/test_files.h"
#include "update/download_selection.h"
#include "update/download_state.h"
#include "update/manifest.h"
#include "update/temp_file.h"

namespace {

DWORD sizeOf(const std::string& path) {  // -1 when missing
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : ~0u;
}

}  // namespace

// The page host replaced by the next page is the web page scenario's.
TEST(MiddleArea, FolderEditReplacesTheTermsTakesAWholePathAndGoesWithThem) {
  g_hMainWnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 420, 345, nullptr, nullptr, nullptr,
                               nullptr);
  createTermsControl("terms", 12);
  ASSERT_NE(nullptr, g_hTermsText);
  HWND edit = g_hFolderEdit = createEditControl(9, 114, 301, 17, "C:\\Program Files\\Quenzar", 16);
  EXPECT_EQ(nullptr, g_hTermsText);
  EXPECT_EQ(260, SendMessageA(edit, EM_GETLIMITTEXT, 0, 0));
  destroyTextControls();
  EXPECT_FALSE(IsWindow(edit) || g_hFolderEdit);
  DestroyWindow(g_hMainWnd);
  g_hMainWnd = nullptr;
}

TEST(FolderProbe, WritableFoldersAndNamesOnlyAndNothingLeftBehind) {
  std::string base = tempPath("velorin-probe-test"), file = base + "\\file.txt";
  RemoveDirectoryA(base.c_str());
  ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
  CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  EXPECT_TRUE(canWriteDirectory(base.c_str()));
  EXPECT_TRUE(canWriteDirectory((base + "\\Quenzar").c_str()));  // a name that can be created
  EXPECT_EQ(~0u, sizeOf(base + "\\Quenzar")) << "probe left behind";
  EXPECT_FALSE(canWriteDirectory((base + "\\missing\\Quenzar").c_str()));
  EXPECT_FALSE(canWriteDirectory(file.c_str()));  // exists, but is no folder
  DeleteFileA(file.c_str());
  EXPECT_TRUE(RemoveDirectoryA(base.c_str())) << "a probe file was left behind";

  char first[MAX_PATH], second[MAX_PATH], small[MAX_PATH - 1] = "x";
  ASSERT_TRUE(makeTempFileName(first, sizeof first) && makeTempFileName(second, sizeof second));
  EXPECT_STRNE(first, second);
  EXPECT_EQ(0u, sizeOf(first));
  EXPECT_NE(nullptr, strstr(first, "cci"));
  DeleteFileA(first);
  DeleteFileA(second);
  EXPECT_FALSE(makeTempFileName(small, sizeof small));
  EXPECT_STREQ("", small);
}

TEST(StoreDownload, LastFileStoredLeavesNoFileLineBehind) {
  // Once the update's last file is stored its entry is freed, and the file
  // line must not name it any more.
  const char line[] = "http://h/velorin_last.dat|.\\velorin_last.dat|3|7|0|velorin_last.dat\n";
  ASSERT_EQ(parseManifest(line, sizeof line - 1), MANIFEST_OK);
  HWND window =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  g_nProcessState = PS_UPDATE;
  selectFileForDownload(g_pxFileDescriptor);
  EXPECT_STREQ("velorin_last.dat", shownFileName());
  std::string temp = g_szTempFile;
  g_pDownloadBuffer = static_cast<unsigned char*>(malloc(3));
  memcpy(g_pDownloadBuffer, "abc", 3);
  g_nDownloadSize = 3;
  onDownloadFinished(window, 1);
  EXPECT_EQ(nullptr, shownFileName());
  EXPECT_EQ(nullptr, g_pxFileDescriptor);
  EXPECT_EQ(~0u, sizeOf(temp));
  EXPECT_EQ(3u, sizeOf("velorin_last.dat"));
  MSG message = {};
  EXPECT_TRUE(
      PeekMessageA(&message, window, WM_DOWNLOADS_COMPLETE, WM_DOWNLOADS_COMPLETE, PM_REMOVE));
  DeleteFileA("velorin_last.dat");
  DestroyWindow(window);
  g_nProcessState = PS_NONE;
}
