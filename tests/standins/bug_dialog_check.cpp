// bug_dialog_check: the bug report dialog with the program's own resources
// (its texts and controls are the bug report scenario's). A helper thread
// checks it is centred and Submit's size, types a comment beyond the limit
// and presses Submit (Cancel is the scenario's). Exit code 0 when every
// printed check holds.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/resource.h"
#include "report/bug_report.h"

namespace {

int g_nFailures = 0;

void check(bool ok, const char* what) {
  printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  g_nFailures += !ok;
}

DWORD WINAPI player(void*) {
  HWND dialog = nullptr;
  for (int i = 0; i < 200 && !(dialog && IsWindowVisible(dialog)); ++i, Sleep(50))
    dialog = FindWindowA("#32770", "Error");
  check(dialog != nullptr, "dialog \"Error\" shown");
  if (!dialog)
    return 0;
  RECT box, desktop, unit = {7, 76, 57, 90}, button;
  GetWindowRect(dialog, &box);
  GetClientRect(GetDesktopWindow(), &desktop);
  check(box.left == (desktop.right - (box.right - box.left)) / 2 &&
            box.top == (desktop.bottom - (box.bottom - box.top)) / 2,
        "dialog centred on the desktop");
  MapDialogRect(dialog, &unit);
  HWND submitButton = GetDlgItem(dialog, IDC_BUG_SUBMIT);
  GetWindowRect(submitButton, &button);
  char text[16] = "";
  GetWindowTextA(submitButton, text, sizeof text);
  check(strcmp(text, "Submit") == 0 && button.right - button.left == unit.right - unit.left,
        "Submit at its size");
  std::string longComment(1500, 'c');
  longComment[0] = 'A';
  SetDlgItemTextA(dialog, IDC_BUG_COMMENT, longComment.c_str());
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BUG_SUBMIT, BN_CLICKED),
                      reinterpret_cast<LPARAM>(submitButton));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  check(LoadLibraryA("RICHED32.DLL") != nullptr, "RICHED32.DLL loads");
  char comment[4096];
  memset(comment, 'x', sizeof comment);
  HANDLE thread = CreateThread(nullptr, 0, player, nullptr, 0, nullptr);
  check(showBugReportDialog(comment, sizeof comment) == BUG_DIALOG_SUBMIT, "Submit answers submit");
  WaitForSingleObject(thread, 20000);
  CloseHandle(thread);
  check(strlen(comment) == kBugCommentLimit && comment[0] == 'A', "comment cut at 1023 characters");
  printf("%d bug dialog checks failed\n", g_nFailures);
  return g_nFailures ? 1 : 0;
}
