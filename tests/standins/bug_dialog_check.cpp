// bug_dialog_check: the bug report dialog with the program's own resources
// (its texts and controls are the bug report scenario's). A helper thread
// checks it is centred and Submit's size, types a comment beyond the limit
// and presses Submit; a second round presses Cancel. Exit code 0 when every
// printed check holds.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "report/bug_report.h"
#include "app/resource.h"

namespace {

int g_nFailures = 0;

void check(bool ok, const char* what) {
  printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok)
    ++g_nFailures;
}

HWND findDialog() {
  for (int i = 0; i < 200; ++i) {
    HWND dialog = FindWindowA("#32770", "Error");
    if (dialog && IsWindowVisible(dialog))
      return dialog;
    Sleep(50);
  }
  return nullptr;
}

std::string textOf(HWND window) {
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

DWORD WINAPI player(void* submit) {
  HWND dialog = findDialog();
  check(dialog != nullptr, "dialog \"Error\" shown");
  if (!dialog)
    return 0;
  if (submit) {
    RECT box, desktop;
    GetWindowRect(dialog, &box);
    GetClientRect(GetDesktopWindow(), &desktop);
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    check(box.left == (desktop.right - width) / 2 && box.top == (desktop.bottom - height) / 2,
          "dialog centred on the desktop");
    RECT unit = {7, 76, 57, 90};
    MapDialogRect(dialog, &unit);
    RECT submitRect;
    HWND submitButton = GetDlgItem(dialog, IDC_BUG_SUBMIT);
    GetWindowRect(submitButton, &submitRect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&submitRect), 2);
    check(textOf(submitButton) == "Submit" &&
              submitRect.right - submitRect.left == unit.right - unit.left,
          "Submit at its place and size");
    std::string longComment(1500, 'c');
    longComment[0] = 'A';
    SetDlgItemTextA(dialog, IDC_BUG_COMMENT, longComment.c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BUG_SUBMIT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(submitButton));
  } else {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!LoadLibraryA("RICHED32.DLL"))
    check(false, "RICHED32.DLL loads");

  char comment[4096];
  memset(comment, 'x', sizeof comment);
  HANDLE thread = CreateThread(nullptr, 0, player, reinterpret_cast<void*>(1), 0, nullptr);
  bool submitted = showBugReportDialog(comment, sizeof comment) == BUG_DIALOG_SUBMIT;
  WaitForSingleObject(thread, 20000);
  CloseHandle(thread);
  check(submitted, "Submit answers submit");
  check(strlen(comment) == kBugCommentLimit && comment[0] == 'A', "comment cut at 1023 characters");

  thread = CreateThread(nullptr, 0, player, nullptr, 0, nullptr);
  bool cancelled = showBugReportDialog(comment, sizeof comment) == BUG_DIALOG_CANCEL;
  WaitForSingleObject(thread, 20000);
  CloseHandle(thread);
  check(cancelled, "Cancel answers cancel");
  printf("%d bug dialog checks failed\n", g_nFailures);
  return g_nFailures ? 1 : 0;
}
