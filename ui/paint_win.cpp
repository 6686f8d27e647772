// Painting: the panels, then the status line, percent and file name in white
// 9-point bold Arial straight onto them.
#include "app/app_state.h"
#include "app/win_handles.h"
#include "install/install_actions.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "ui/client_launch.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "update/download_selection.h"
#include "update/download_state.h"

namespace {

// Copies bitmap id at (0, y); returns its height, 0 when it is missing.
int paintPanel(HDC target, HDC memory, int id, int y) {
  ScopedGdiObject bitmap(
      LoadImageA(g_hInstance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  BITMAP info = {};
  if (!bitmap.valid() || !GetObjectA(bitmap.get(), sizeof info, &info))
    return 0;
  HGDIOBJ previous = SelectObject(memory, bitmap.get());
  BitBlt(target, 0, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  return info.bmHeight;
}

void drawTextAt(HDC dc, const RECT& client, int left, int top, const char* text) {
  RECT rect = client;
  rect.left = left;
  rect.top = top;
  DrawTextA(dc, text, -1, &rect, 0);
}

}  // namespace

void paintWindow(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (!dc)
    return;
  LOGFONTA logFont = {};
  lstrcpyA(logFont.lfFaceName, "Arial");
  logFont.lfWeight = FW_BOLD;
  logFont.lfHeight = -MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72);
  logFont.lfCharSet = DEFAULT_CHARSET;
  ScopedGdiObject font(CreateFontIndirectA(&logFont));

  int state = g_nProcessState;
  int phase = g_nServerPhase;
  PaintPlan plan = paintPlan(state, phase);
  {
    ScopedMemoryDc memory(CreateCompatibleDC(nullptr));
    if (memory.valid()) {
      int y = paintPanel(dc, memory.get(), IDB_TOP_PANEL, 0);
      if (plan.largePanels)
        y += paintPanel(dc, memory.get(), IDB_MIDDLE_PANEL, y);
      paintPanel(dc, memory.get(), IDB_BOTTOM_PANEL, y);
    }
  }

  RECT client = {};
  GetClientRect(window, &client);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  HGDIOBJ previousFont = font.valid() ? SelectObject(dc, font.get()) : nullptr;

  drawTextAt(dc, client, plan.statusLeft, plan.statusTop,
             plan.statusShowsWaiting ? g_szWaitingText : g_szStatus);
  if (plan.percentShown) {
    drawTextAt(dc, client, plan.percentLeft, plan.percentTop, g_szPercent);
    g_bPercentChanged = false;
  }
  if (plan.fileLineShown) {
    if (const char* name = shownFileName())
      drawTextAt(dc, client, plan.fileLineLeft, plan.fileLineTop, name);
  }

  SetBkMode(dc, OPAQUE);
  if (previousFont)
    SelectObject(dc, previousFont);
  EndPaint(window, &paint);
}

void invalidateProgressArea(int kind) {
  if (!g_hMainWnd)
    return;
  RECT client = {};
  GetClientRect(g_hMainWnd, &client);
  AreaRect area;
  bool erase = false;
  if (!progressArea(kind, g_nProcessState, client.right, client.bottom, &area, &erase))
    return;
  RECT rect = {area.left, area.top, area.right, area.bottom};
  InvalidateRect(g_hMainWnd, &rect, erase);
}
