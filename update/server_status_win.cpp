#include "update/server_status.h"

#include <windows.h>
#include <wininet.h>

#include "app/bounded_text.h"
#include "app/log.h"
#include "update/download_rules.h"
#include "update/internet_handle.h"
#include "update/manifest_fetch.h"
#include "update/service_endpoints.h"

namespace {

DWORD WINAPI requestUrlThread(LPVOID parameter) {
  const char* url = static_cast<const char*>(parameter);
  if (!url || !url[0] || InternetAttemptConnect(0) != ERROR_SUCCESS)
    return 0;
  ScopedInternetHandle internet(
      InternetOpenA("IE", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet.valid())
    return 0;
  ScopedInternetHandle request(InternetOpenUrlA(
      internet.get(), url, nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT, 0));
  return 0;
}

}  // namespace

bool checkServerStatus() {
  if (InternetAttemptConnect(0) != ERROR_SUCCESS)
    return true;
  ScopedInternetHandle internet(
      InternetOpenA("IE", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet.valid())
    return true;
  char url[kServiceUrlSize];
  if (!buildServiceUrl(url, sizeof url, serviceEndpoints().downloadHost, kMaintenancePagePath))
    return true;
  // Redirects are followed here: the page may move, and only its text counts.
  ScopedInternetHandle request(InternetOpenUrlA(
      internet.get(), url, nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request.valid()) {
    logMessage(LOG_FAIL, "Connection failure, retry");
    return true;
  }
  char status[128] = {};
  DWORD statusLength = sizeof status - 1;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE, status, &statusLength, nullptr) ||
      !equalsIgnoreCase(status, "200"))
    return true;
  // The body is scanned as it arrives, one byte carried over between reads so
  // that an "OK" split across two reads is found; reading stops at the
  // manifest's body limit, since a page that long is no status page.
  char chunk[1025];
  char carried = '\0';
  size_t total = 0;
  bool sawOk = false;
  while (total < kMaxManifestBody) {
    DWORD got = 0;
    BOOL read = InternetReadFile(request.get(), chunk + 1, sizeof chunk - 1, &got);
    if (got > 0) {
      chunk[0] = carried;
      size_t offset = total == 0 ? 1 : 0;
      // At least one byte here, so the rule reads as "holds OK".
      sawOk = sawOk || statusBodyAllowsStart(chunk + offset, got + 1 - offset);
      carried = chunk[got];
      total += got;
    }
    if (!read || got == 0)
      break;
  }
  return total == 0 || sawOk;
}

void requestUrlAsync(const char* url) {
  if (!url || !url[0])
    return;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, requestUrlThread, const_cast<char*>(url), 0, &id);
  if (thread)
    CloseHandle(thread);  // detached: nobody waits for it
}
