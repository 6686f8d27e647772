// What the large form shows in its middle area (the terms text or a web
// page) and the folder chooser's edit: rich-edit controls and the ATL host.
#include <richedit.h>

#include "app/app_state.h"
#include "app/atl_runtime.h"
#include "app/log.h"
#include "app/system_library.h"
#include "app/win_handles.h"
#include "ui/main_window.h"

HWND g_hTermsText;
HWND g_hFolderEdit;
HWND g_hWebHost;

namespace {

// Fonts of the two text controls; each lives as long as its control.
ScopedGdiObject g_termsFont;
ScopedGdiObject g_editFont;

typedef BOOL(WINAPI* AtlAxWinInitFunction)();

// ATL.DLL is bound on first use, by full path (see loadAtlRuntime).
// Once it has succeeded the class stays registered for the run; it is not
// asked again, because Wine's AtlAxWinInit answers FALSE on a second call
// (the class exists already), which would leave every later page blank.
bool initAtlHosting() {
  static AtlAxWinInitFunction atlAxWinInit;
  static bool registered;
  if (registered)
    return true;
  if (!atlAxWinInit) {
    HMODULE atl = loadAtlRuntime();
    if (!atl)
      return false;
    // AtlAxWinInit is exported by ordinal 42 only on the old runtime.
    atlAxWinInit = reinterpret_cast<AtlAxWinInitFunction>(
        reinterpret_cast<void*>(GetProcAddress(atl, MAKEINTRESOURCEA(42))));
    if (!atlAxWinInit)
      return false;
  }
  registered = atlAxWinInit() != 0;
  return registered;
}

HWND createRichEdit(DWORD style,
                    int x,
                    int y,
                    int width,
                    int height,
                    int fontHeight,
                    ScopedGdiObject* font) {
  loadSystemLibrary("RICHED32.DLL");  // registers "RICHEDIT"; stays loaded for the run
  HWND control = CreateWindowExA(0, "RICHEDIT", "", style, x, y, width, height, g_hMainWnd, nullptr,
                                 g_hInstance, nullptr);
  if (control && fontHeight != 0) {
    font->reset(CreateFontA(fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0x30,
                            "Arial"));
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font->get()), TRUE);
  }
  return control;
}

}  // namespace

bool createWebHost(const char* url) {
  if (!initAtlHosting())
    return false;
  destroyWebHost();
  g_hWebHost = CreateWindowExA(0, "AtlAxWin", url, WS_CHILD | WS_VISIBLE, 2, kTopPanelHeight, 416,
                               kMiddlePanelHeight, g_hMainWnd, nullptr, g_hInstance, nullptr);
  return true;
}

void destroyWebHost() {
  if (g_hWebHost) {
    DestroyWindow(g_hWebHost);
    g_hWebHost = nullptr;
  }
}

void destroyTextControls() {
  if (g_hTermsText) {
    DestroyWindow(g_hTermsText);
    g_hTermsText = nullptr;
  }
  g_termsFont.reset();
  if (g_hFolderEdit) {
    DestroyWindow(g_hFolderEdit);
    g_hFolderEdit = nullptr;
  }
  g_editFont.reset();
}

void createTermsControl(const char* text, int fontHeight) {
  destroyTextControls();
  g_hTermsText =
      createRichEdit(WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 2,
                     kTopPanelHeight, 416, kMiddlePanelHeight, fontHeight, &g_termsFont);
  if (g_hTermsText && text) {
    // A rich-edit control holds 32767 characters unless told otherwise; the
    // terms are longer.
    SendMessageA(g_hTermsText, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    SetWindowTextA(g_hTermsText, text);
  }
}

HWND createEditControl(int x, int y, int width, int height, const char* text, int fontHeight) {
  destroyTextControls();
  HWND edit = createRichEdit(WS_CHILD | WS_VISIBLE, x, y, width, height, fontHeight, &g_editFont);
  if (edit) {
    SendMessageA(edit, EM_LIMITTEXT, 260, 0);
    if (text)
      SetWindowTextA(edit, text);
  }
  return edit;
}
