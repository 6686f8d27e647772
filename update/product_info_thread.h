// The manifest thread: one fetch of "product.txt", primary update server
// first, then the secondary.
#pragma once

#include <windows.h>

// Posts WM_PRODUCT_INFO_READY when either server's manifest was read. When
// the secondary's request could not even be opened it arms IDT_STATE (1000
// ms) so that the window asks again; any other failure of the secondary ends
// the run with the "technical difficulties" box. Its last step clears
// g_hProductInfoThread and closes its own handle.
// The running manifest thread; null when none (the thread clears it as its
// last step).
extern HANDLE volatile g_hProductInfoThread;

DWORD WINAPI ProductInfoThreadFunc(LPVOID);

// Starts the thread unless one runs; g_hProductInfoThread holds it from
// before its first step, so a fetch that ends at once still clears it.
void startProductInfoThread();
