#include "update/product_info_thread.h"

#include "app/log.h"
#include "app/window_link.h"
#include "update/manifest.h"
#include "update/manifest_fetch.h"
#include "update/service_endpoints.h"

HANDLE volatile g_hProductInfoThread;

namespace {

const UINT kRetryMs = 1000;

int fetchFrom(const char* host) {
  char url[kServiceUrlSize];
  if (!buildServiceUrl(url, sizeof url, host, kManifestPath)) {
    logMessage(LOG_FAIL, "ProductInfoThreadFunc: no manifest address for '%s'", host);
    return MANIFEST_FAILED;
  }
  return fetchManifest(url);
}

// Asks the window to fetch again in a second. A timer belongs to the thread
// that owns the window, so where SetTimer refuses a window of another thread
// the wait happens here and the tick is posted.
void armRetry() {
  if (SetTimer(g_hMainWnd, IDT_STATE, kRetryMs, nullptr))
    return;
  Sleep(kRetryMs);
  PostMessageA(g_hMainWnd, WM_TIMER, IDT_STATE, 0);
}

}  // namespace

DWORD WINAPI ProductInfoThreadFunc(LPVOID) {
  const ServiceEndpoints& endpoints = serviceEndpoints();
  bool retry = false;
  if (fetchFrom(endpoints.primaryUpdateHost) == MANIFEST_OK) {
    PostMessageA(g_hMainWnd, WM_PRODUCT_INFO_READY, 0, 0);
  } else {
    int second = fetchFrom(endpoints.secondaryUpdateHost);
    if (second == MANIFEST_OK) {
      PostMessageA(g_hMainWnd, WM_PRODUCT_INFO_READY, 0, 0);
    } else if (second == MANIFEST_REQUEST_FAILED) {
      retry = true;
    } else {
      g_nProcessState = PS_SHUTDOWN;
      MessageBoxA(nullptr,
                  "The server is experiencing technical difficulties. Please try again later!",
                  "Error", MB_ICONERROR);
      PostMessageA(g_hMainWnd, WM_CLOSE, 0, 0);
    }
  }
  HANDLE self = g_hProductInfoThread;
  g_hProductInfoThread = nullptr;
  if (self)
    CloseHandle(self);
  // Armed after the handle is cleared, so the tick finds no thread running.
  if (retry)
    armRetry();
  return 0;
}

void startProductInfoThread() {
  if (g_hProductInfoThread)
    return;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ProductInfoThreadFunc, nullptr, CREATE_SUSPENDED, &id);
  if (!thread) {
    logMessage(LOG_FAIL, "startProductInfoThread: no thread (error %u)",
               static_cast<unsigned>(GetLastError()));
    return;
  }
  g_hProductInfoThread = thread;
  ResumeThread(thread);
}
