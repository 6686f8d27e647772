#include "ui/main_window.h"

#include "app/app_state.h"
#include "app/system_library.h"
#include "app/resource.h"

namespace {

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void showAboutBox(HWND owner) {
  // The box holds a rich-edit control; without its class loaded the dialog
  // could not be created at all, so load it here rather than rely on an
  // earlier screen having done so.
  loadSystemLibrary("RICHED32.DLL");
  DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUTBOX), owner, aboutProc, 0);
}
