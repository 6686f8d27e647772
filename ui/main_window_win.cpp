#include "ui/main_window.h"

#include <commctrl.h>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/log.h"
#include "app/atl_runtime.h"
#include "install/shell_folders.h"
#include "ui/messages.h"
#include "ui/status_text.h"
#include "ui/terms_text.h"
#include "update/download_state.h"
#include "update/service_endpoints.h"

HWND g_hMainWnd;
HWND g_hCancelButton;
HWND g_hAcceptButton;
HWND g_hBrowseButton;
HWND g_hMinimizeButton;
HWND g_hProgressBar;

namespace {

constexpr int kButtonWidth = 78;
constexpr int kButtonHeight = 19;
constexpr COLORREF kProgressBackground = 0x004D4D4D;  // RGB(77, 77, 77)
constexpr COLORREF kProgressBar = 0x0064BCC7;         // RGB(199, 188, 100)
constexpr size_t kPageUrlSize = 2084;

struct ScreenSize {
  int width, height;
};

ScreenSize screenSize() {
  RECT screen = {};
  GetClientRect(GetDesktopWindow(), &screen);
  return {screen.right - screen.left, screen.bottom - screen.top};
}

// Button faces are loaded once and kept for the run: buttons are destroyed
// and created again as the screens change, and BM_SETIMAGE does not take
// ownership of the bitmap.
HBITMAP buttonFace(int bitmapId) {
  static const int kIds[] = {IDB_CANCEL, IDB_ACCEPT, IDB_BROWSE, IDB_MINIMIZE};
  static HBITMAP faces[sizeof kIds / sizeof kIds[0]];
  for (size_t i = 0; i < sizeof kIds / sizeof kIds[0]; ++i) {
    if (kIds[i] != bitmapId)
      continue;
    if (!faces[i])
      faces[i] = LoadBitmapA(g_hInstance, MAKEINTRESOURCEA(bitmapId));
    return faces[i];
  }
  return nullptr;
}

HWND createButton(const char* text, int id, int bitmapId, int x, int y, int width, int height) {
  HWND button =
      CreateWindowExA(0, "button", text, WS_CHILD | WS_VISIBLE | BS_BITMAP, x, y, width, height,
                      g_hMainWnd, reinterpret_cast<HMENU>(id), g_hInstance, nullptr);
  HBITMAP face = buttonFace(bitmapId);
  if (button && face)
    SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(face));
  return button;
}

void destroyWindowOf(HWND* window) {
  if (*window) {
    DestroyWindow(*window);
    *window = nullptr;
  }
}

HWND createProgressBar(int y) {
  return CreateWindowExA(WS_EX_TOPMOST | WS_EX_WINDOWEDGE, PROGRESS_CLASSA, "", WS_CHILD, 9, y, 403,
                         17, g_hMainWnd, nullptr, g_hInstance, nullptr);
}

// Creates the main window and the controls that live as long as it does.
void createMainWindow(int x, int y, int height, int controlsTop) {
  g_hMainWnd = CreateWindowExA(0, g_szWindowClass, g_szWindowTitle, WS_POPUP, x, y, kWindowWidth,
                               height, nullptr, nullptr, g_hInstance, nullptr);
  if (!g_hMainWnd)
    return;
  SetWindowLongPtrA(g_hMainWnd, GWLP_USERDATA, static_cast<LONG_PTR>(MAIN_WINDOW_MARKER));
  g_hCancelButton = createButton("Cancel", IDC_CANCEL, IDB_CANCEL, 330, controlsTop + 20,
                                 kButtonWidth, kButtonHeight);
  g_hProgressBar = createProgressBar(controlsTop);
}

// The page shown in the large form's middle area.
void showMiddlePage(const char* path) {
  char url[kPageUrlSize];
  if (!buildServiceUrl(url, sizeof url, serviceEndpoints().downloadHost, path)) {
    logMessage(LOG_WARNING, "layoutWindow: page address too long for %s", path);
    return;
  }
  createWebHost(url);
}

void layoutLargeForm(ScreenSize screen) {
  OutputDebugStringA("\nEntering nonCompact mode\n");
  int x = (screen.width - kWindowWidth) / 2;
  int y = (screen.height - kLargeFormHeight) / 2;
  if (g_hMainWnd) {
    RECT rect = {};
    GetWindowRect(g_hMainWnd, &rect);
    if (rect.top != y) {
      MoveWindow(g_hMainWnd, x, y, kWindowWidth, kLargeFormHeight, TRUE);
      MoveWindow(g_hCancelButton, 330, 320, kButtonWidth, kButtonHeight, TRUE);
      MoveWindow(g_hProgressBar, 9, 300, 403, 17, TRUE);
    }
  } else {
    createMainWindow(x, y, kLargeFormHeight, 300);
  }
  if (!g_hMainWnd)
    return;
  switch (middleContent(g_nProcessState, g_nServerPhase)) {
    case MIDDLE_TERMS:
      createTermsControl(g_szTermsText, 12);
      destroyWindowOf(&g_hAcceptButton);
      g_hAcceptButton = createButton("Accept", IDC_ACCEPT_TERMS, IDB_ACCEPT, 232, 320, kButtonWidth,
                                     kButtonHeight);
      break;
    case MIDDLE_FLASH_PAGE:
      showMiddlePage(kFlashPagePath);
      break;
    case MIDDLE_MAINTENANCE_PAGE:
      ShowWindow(g_hProgressBar, SW_HIDE);
      showMiddlePage(kMaintenancePagePath);
      break;
    case MIDDLE_UPDATE_PAGE:
    case MIDDLE_NONE:
      showMiddlePage(kUpdatePagePath);
      break;
  }
}

void showFolderChooser() {
  setStatusText("Please choose a directory for installation");
  destroyWindowOf(&g_hAcceptButton);
  g_hAcceptButton = createButton("Accept", IDC_ACCEPT_DIRECTORY, IDB_ACCEPT, 232, 134, kButtonWidth,
                                 kButtonHeight);
  destroyWindowOf(&g_hBrowseButton);
  g_hBrowseButton =
      createButton("Browse", IDC_BROWSE, IDB_BROWSE, 330, 114, kButtonWidth, kButtonHeight);
  destroyTextControls();
  char programFiles[kPathSize] = "";
  char folder[kPathSize] = "";
  if (getProgramFilesFolder(programFiles, sizeof programFiles) &&
      formatText(folder, sizeof folder, "%s\\Quenzar", programFiles)) {
    copyText(g_szCWD, sizeof g_szCWD, folder);
  } else {
    logMessage(LOG_WARNING, "layoutWindow: program files folder too long: %s", programFiles);
    g_szCWD[0] = '\0';
  }
  g_hFolderEdit = createEditControl(9, 114, 301, 17, g_szCWD, 16);
}

void layoutSmallForm(ScreenSize screen) {
  int x = (screen.width - kWindowWidth) / 2;
  int y = (screen.height - kSmallFormHeight) / 2;
  if (g_hMainWnd) {
    destroyWebHost();
    destroyTextControls();
    OutputDebugStringA("\nMoving to Compact height\n");
    MoveWindow(g_hMainWnd, x, y, kWindowWidth, kSmallFormHeight, TRUE);
    MoveWindow(g_hCancelButton, 330, 134, kButtonWidth, kButtonHeight, TRUE);
    if (g_hAcceptButton)
      MoveWindow(g_hAcceptButton, 232, 134, kButtonWidth, kButtonHeight, TRUE);
    MoveWindow(g_hProgressBar, 9, 114, 403, 17, TRUE);
    ShowWindow(g_hProgressBar, SW_HIDE);
  } else {
    createMainWindow(x, y, kSmallFormHeight, 114);
  }
  if (!g_hMainWnd)
    return;
  if (!cancelButtonShown(g_nProcessState))
    ShowWindow(g_hCancelButton, SW_HIDE);
  if (hasFolderChooser(g_nProcessState))
    showFolderChooser();
}

}  // namespace

ATOM registerWindowClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELORIN));
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELORIN));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = g_szWindowClass;
  return RegisterClassExA(&windowClass);
}

void layoutWindow() {
  int state = g_nProcessState;
  if (state == PS_BUG_REPORT && g_hMainWnd) {
    ShowWindow(g_hMainWnd, SW_HIDE);
    return;
  }
  if (g_hMainWnd && state != PS_UNINSTALLATION)
    ShowWindow(g_hMainWnd, SW_SHOW);
  if (state == PS_DISCOVERY) {
    destroyTextControls();
    destroyWindowOf(&g_hAcceptButton);
    destroyWindowOf(&g_hBrowseButton);
  }
  ScreenSize screen = screenSize();
  if (layoutForm(state, g_nServerPhase) == FORM_LARGE)
    layoutLargeForm(screen);
  else
    layoutSmallForm(screen);
  if (g_hMainWnd) {
    InvalidateRect(g_hMainWnd, nullptr, FALSE);
    UpdateWindow(g_hMainWnd);
  }
}

bool initMainWindow(HINSTANCE instance, int showCommand) {
  g_hInstance = instance;
  InitCommonControls();
  placeAtlRuntime();
  layoutWindow();
  if (!g_hMainWnd)
    return false;
  SendMessageA(g_hProgressBar, PBM_SETBKCOLOR, 0, kProgressBackground);
  SendMessageA(g_hProgressBar, PBM_SETBARCOLOR, 0, kProgressBar);
  ShowWindow(g_hMainWnd, showCommand);
  UpdateWindow(g_hMainWnd);
  g_nProgressTotal = 0;
  g_nProgressDone = 0;
  g_hMinimizeButton = createButton("Minimize", IDC_MINIMIZE, IDB_MINIMIZE, 400, 3, 17, 17);
  if (g_nProcessState == PS_NONE)
    g_nProcessState = PS_DISCOVERY;
  SetTimer(g_hMainWnd, IDT_STATE, 1000, nullptr);
  return true;
}
