// The window's parts on real Win32 (Wine): the middle area's controls and
// web host on a window of their own, the folder probe on real folders, the
// temporary file names, the last file of an update stored.
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
  int length = GetWindowTextLengthA(window);
  std::string text(length + 1, '\0');
  GetWindowTextA(window, &text[0], length + 1);
  text.resize(length);
  return text;
}

RECT rectIn(HWND child, HWND parent) {
  RECT rect = {};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

class MiddleArea : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VelorinPartsTest";
    RegisterClassA(&windowClass);
    g_hMainWnd = CreateWindowExA(0, "VelorinPartsTest", "", WS_POPUP, 0, 0, 420, 345, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
    if (!g_hMainWnd)
      GTEST_SKIP() << "no display for windows";
  }
  void TearDown() override {
    destroyTextControls();
    destroyWebHost();
    if (g_hMainWnd)
      DestroyWindow(g_hMainWnd);
    g_hMainWnd = nullptr;
  }
};

}  // namespace

TEST_F(MiddleArea, TermsControlHoldsTextLongerThanTheDefaultLimit) {
  std::string terms;
  while (terms.size() < 42000)
    terms += "1. Registration and age limit of the service.\n";
  createTermsControl(terms.c_str(), 12);
  ASSERT_NE(nullptr, g_hTermsText);
  RECT rect = rectIn(g_hTermsText, g_hMainWnd);
  EXPECT_EQ(2, rect.left);
  EXPECT_EQ(92, rect.top);
  EXPECT_EQ(418, rect.right);
  EXPECT_EQ(278, rect.bottom);
  std::string shown = textOf(g_hTermsText);
  std::string::size_type at;
  while ((at = shown.find("\r\n")) != std::string::npos)
    shown.erase(at, 1);
  EXPECT_EQ(terms.size(), shown.size());
  EXPECT_EQ(terms, shown);

  // The folder edit replaces the terms: the two never exist together.
  HWND edit = createEditControl(9, 114, 301, 17, "C:\\Program Files\\Quenzar", 16);
  g_hFolderEdit = edit;
  ASSERT_NE(nullptr, edit);
  EXPECT_EQ(nullptr, g_hTermsText);
  EXPECT_EQ("C:\\Program Files\\Quenzar", textOf(edit));
  EXPECT_EQ(260, SendMessageA(edit, EM_GETLIMITTEXT, 0, 0));
  destroyTextControls();
  EXPECT_EQ(nullptr, g_hFolderEdit);
  EXPECT_FALSE(IsWindow(edit));
}

TEST_F(MiddleArea, WebHostNamesItsPage) {
  const char* url = "http://download.invalid/client/php/flash8/index.php?mode=update";
  ASSERT_TRUE(createWebHost(url));
  ASSERT_NE(nullptr, g_hWebHost);
  char className[64] = "";
  GetClassNameA(g_hWebHost, className, sizeof className);
  EXPECT_STREQ("AtlAxWin", className);
  EXPECT_EQ(url, textOf(g_hWebHost));
  RECT rect = rectIn(g_hWebHost, g_hMainWnd);
  EXPECT_EQ(2, rect.left);
  EXPECT_EQ(92, rect.top);
  // A second page replaces the first.
  HWND first = g_hWebHost;
  ASSERT_TRUE(createWebHost("http://download.invalid/client/php/ServerStatus/maintenance.php"));
  EXPECT_FALSE(IsWindow(first));
  destroyWebHost();
  EXPECT_EQ(nullptr, g_hWebHost);
}

TEST(FolderProbe, WritableFoldersAndNamesOnly) {
  char folder[MAX_PATH] = "";
  ASSERT_GT(GetTempPathA(sizeof folder, folder), 0u);
  std::string base = std::string(folder) + "velorin-probe-test";
  RemoveDirectoryA(base.c_str());
  ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));

  EXPECT_TRUE(canWriteDirectory(base.c_str()));  // an existing folder
  std::string fresh = base + "\\Quenzar";        // a name that can be created
  EXPECT_TRUE(canWriteDirectory(fresh.c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(fresh.c_str())) << "probe left behind";
  EXPECT_FALSE(canWriteDirectory((base + "\\missing\\Quenzar").c_str()));
  std::string file = base + "\\file.txt";
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  CloseHandle(handle);
  EXPECT_FALSE(canWriteDirectory(file.c_str()));  // exists, but is no folder

  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA((base + "\\cci*").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "probe file left behind: " << found.cFileName;
  if (search != INVALID_HANDLE_VALUE)
    FindClose(search);
  DeleteFileA(file.c_str());
  EXPECT_TRUE(RemoveDirectoryA(base.c_str()));
}

TEST(TempFile, CreatesAnEmptyUniqueFile) {
  char first[MAX_PATH];
  char second[MAX_PATH];
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
  ASSERT_NE(nullptr, window);
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
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(temp.c_str()));
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
