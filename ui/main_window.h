// The main window: a borderless pop-up of two forms (small 420 x 159, large
// 420 x 345) built from three panels, with its buttons, progress bar, status
// line and the middle area that holds the terms text or a web page.
#pragma once

#include <windows.h>

#include "app/window_link.h"
#include "ui/window_rules.h"

// All written on the GUI thread only (g_hMainWnd and g_hProgressBar, which
// workers post to, are declared in app/window_link.h).
extern HWND g_hCancelButton;
extern HWND g_hAcceptButton;  // terms (203) or folder chooser (204); else null
extern HWND g_hBrowseButton;  // folder chooser only
extern HWND g_hMinimizeButton;
extern HWND g_hTermsText;   // large form of the installation state only
extern HWND g_hFolderEdit;  // folder chooser only
extern HWND g_hWebHost;     // large form of the other states

// Registers the class "InstallerWindow" with WndProc and icon 107.
ATOM registerWindowClass(HINSTANCE instance);

// Creates the window and its permanent controls (hidden when showCommand is
// SW_HIDE), marks it for the instance search and arms the discovery timer.
// False when the window could not be created.
bool initMainWindow(HINSTANCE instance, int showCommand);

// Brings window and controls into the form and content of the current state.
void layoutWindow();
// The WM_PAINT handler.
void paintWindow(HWND window);

// Shows a page in the middle area; false when the hosting library cannot be
// initialised (the middle panel then shows through).
bool createWebHost(const char* url);
void destroyWebHost();
// Removes the terms text and the folder edit, if any.
void destroyTextControls();
// Creates g_hTermsText holding text; fontHeight 0 keeps the control's font.
void createTermsControl(const char* text, int fontHeight);
// Creates a single-line rich-edit control of at most 260 characters.
HWND createEditControl(int x, int y, int width, int height, const char* text, int fontHeight);

// The window procedure (window_proc_win.cpp).
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the modal About box owned by the main window.
void showAboutBox(HWND owner);
