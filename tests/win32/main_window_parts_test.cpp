// The window's parts on real Win32 (Wine), their places left to the window
// scenarios: the middle area's controls and web host on a window of their
// own, the folder probe on real folders, the temporary file names, the last
// file of an update stored.
#include <gtest/gtest.h>

#include <richedit.h>

#include <string>

#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/window_handlers.h"
#include "update/download_selection.h"
#include "update/download_state.h"
#include "update/manifest.h"
#include "update/temp_file.h"

namespace {

std::string textOf(HWND window) {
  std::string text(GetWindowTextLengthA(window) + 1, '\0');
  text.resize(GetWindowTextA(window, &text[0], int(text.size())));
  return text;
}

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class MiddleArea : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hMainWnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 420, 345, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, g_hMainWnd);
  }
  void TearDown() override {
    destroyTextControls();
    destroyWebHost();
    DestroyWindow(g_hMainWnd);
    g_hMainWnd = nullptr;
  }
};

}  // namespace

TEST_F(MiddleArea, TermsControlThenFolderEditThenWebHost) {
  std::string terms;  // longer than an edit control's default limit
  while (terms.size() < 42000)
    terms += "1. Registration and age limit of the service.\n";
  createTermsControl(terms.c_str(), 12);
  ASSERT_NE(nullptr, g_hTermsText);
  std::string shown = textOf(g_hTermsText);
  for (size_t at; (at = shown.find("\r\n")) != std::string::npos;)
    shown.erase(at, 1);
  EXPECT_EQ(terms, shown);

  // The folder edit replaces the terms: the two never exist together.
  HWND edit = g_hFolderEdit = createEditControl(9, 114, 301, 17, "C:\\Program Files\\Quenzar", 16);
  ASSERT_NE(nullptr, edit);
  EXPECT_EQ(nullptr, g_hTermsText);
  EXPECT_EQ("C:\\Program Files\\Quenzar", textOf(edit));
  EXPECT_EQ(260, SendMessageA(edit, EM_GETLIMITTEXT, 0, 0));
  destroyTextControls();
  EXPECT_EQ(nullptr, g_hFolderEdit);
  EXPECT_FALSE(IsWindow(edit));

  const char* url = "http://download.invalid/client/php/flash8/index.php?mode=update";
  ASSERT_TRUE(createWebHost(url));
  char className[64] = "";
  GetClassNameA(g_hWebHost, className, sizeof className);
  EXPECT_STREQ("AtlAxWin", className);
  EXPECT_EQ(url, textOf(g_hWebHost));
  HWND first = g_hWebHost;  // a second page replaces the first
  ASSERT_TRUE(createWebHost("http://download.invalid/client/php/ServerStatus/maintenance.php"));
  EXPECT_FALSE(IsWindow(first));
  destroyWebHost();
  EXPECT_EQ(nullptr, g_hWebHost);
}

TEST(FolderProbe, WritableFoldersAndNamesOnlyAndNothingLeftBehind) {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof folder, folder);
  std::string base = std::string(folder) + "velorin-probe-test";
  RemoveDirectoryA(base.c_str());
  ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
  std::string file = base + "\\file.txt";
  CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  EXPECT_TRUE(canWriteDirectory(base.c_str()));                  // an existing folder
  EXPECT_TRUE(canWriteDirectory((base + "\\Quenzar").c_str()));  // a name that can be created
  EXPECT_FALSE(exists(base + "\\Quenzar")) << "probe left behind";
  EXPECT_FALSE(canWriteDirectory((base + "\\missing\\Quenzar").c_str()));
  EXPECT_FALSE(canWriteDirectory(file.c_str()));  // exists, but is no folder
  DeleteFileA(file.c_str());
  EXPECT_TRUE(RemoveDirectoryA(base.c_str())) << "a probe file was left behind";
}

TEST(TempFile, CreatesAnEmptyUniqueFile) {
  char first[MAX_PATH], second[MAX_PATH];
  ASSERT_TRUE(makeTempFileName(first, sizeof first));
  ASSERT_TRUE(makeTempFileName(second, sizeof second));
  EXPECT_STRNE(first, second);
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExA(first, GetFileExInfoStandard, &data));
  EXPECT_EQ(0u, data.nFileSizeLow);
  EXPECT_NE(nullptr, strstr(first, "cci"));
  DeleteFileA(first);
  DeleteFileA(second);
  char small[MAX_PATH - 1] = "x";
  EXPECT_FALSE(makeTempFileName(small, sizeof small));
  EXPECT_STREQ("", small);
}

TEST(StoreDownload, LastFileStoredLeavesNoFileLineBehind) {
  // The update's last file: once it is stored its entry is freed, and the
  // file line must not name it any more.
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
  EXPECT_FALSE(exists(temp));
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  EXPECT_TRUE(GetFileAttributesExA("velorin_last.dat", GetFileExInfoStandard, &data));
  EXPECT_EQ(3u, data.nFileSizeLow);
  MSG message = {};
  EXPECT_TRUE(
      PeekMessageA(&message, window, WM_DOWNLOADS_COMPLETE, WM_DOWNLOADS_COMPLETE, PM_REMOVE));
  DeleteFileA("velorin_last.dat");
  DestroyWindow(window);
  g_nProcessState = PS_NONE;
}
