// The main window: a hidden borderless pop-up until the state machine shows it.
#pragma once

#include <windows.h>

constexpr int kWindowWidth = 420;
constexpr int kSmallFormHeight = 159;
constexpr int kLargeFormHeight = 345;

// Written once by initMainWindow on the GUI thread; read by workers to post.
extern HWND g_hMainWnd;

// Registers the class "InstallerWindow" with WndProc and icon 107.
ATOM registerWindowClass(HINSTANCE instance);

// Creates the main window (hidden when showCommand is SW_HIDE), marks it for
// the instance search and arms the discovery timer. False when the window
// could not be created.
bool initMainWindow(HINSTANCE instance, int showCommand);

// The window procedure (window_proc_win.cpp).
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the modal About box owned by the main window.
void showAboutBox(HWND owner);
