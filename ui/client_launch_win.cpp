#include "ui/client_launch.h"

#include <winsock2.h>
#include <windns.h>

#include <cstring>

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/instance.h"
#include "app/log.h"
#include "app/registry.h"
#include "app/startup.h"
#include "app/stub_expansion.h"
#include "app/system_library.h"
#include "app/win_handles.h"
#include "ui/client_command_line.h"
#include "update/download_state.h"
#include "update/install_tracking.h"
#include "update/server_status.h"
#include "update/service_endpoints.h"

namespace {

using DnsQueryFunction = DNS_STATUS(WINAPI*)(PCSTR, WORD, DWORD, PVOID, PDNS_RECORD*, PVOID*);

// DnsQuery_A exists from Windows 2000 on: bound when first needed.
DnsQueryFunction dnsQuery() {
  static DnsQueryFunction function = nullptr;
  static bool bound = false;
  if (!bound) {
    bound = true;
    if (HMODULE library = loadSystemLibrary("DNSAPI.DLL"))
      function = reinterpret_cast<DnsQueryFunction>(
          reinterpret_cast<void*>(GetProcAddress(library, "DnsQuery_A")));
  }
  return function;
}

// The game servers: the default hosts, replaced by what the game domain's DNS
// data names when the first default host resolves to the hand-over address.
bool askDnsForGameServers(GameServers* servers) {
  const ServiceEndpoints& endpoints = serviceEndpoints();
  copyText(servers->szGr, sizeof servers->szGr, endpoints.gameHostPrimary);
  copyText(servers->szGl, sizeof servers->szGl, endpoints.gameHostSecondary);
  servers->bFound = false;

  char address[32] = "";
  resolveHostAddress(endpoints.gameHostPrimary, address, sizeof address);
  if (!equalsIgnoreCase(address, kDnsHandOverAddress))
    return false;
  DWORD major = 0;
  checkMinimumWindows(&major, nullptr);
  if (major < 5) {
    logMessage(LOG_INFO, "launchClient: no DNS query before Windows 2000");
    return false;
  }
  DnsQueryFunction query = dnsQuery();
  if (!query) {
    logMessage(LOG_WARNING, "launchClient: DnsQuery_A not available");
    return false;
  }
  PDNS_RECORD records = nullptr;
  DNS_STATUS status =
      query(endpoints.gameDomain, DNS_TYPE_NS, DNS_QUERY_STANDARD, nullptr, &records, nullptr);
  if (status != 0 || !records) {
    logMessage(LOG_WARNING, "launchClient: DNS query for %s failed (%ld)", endpoints.gameDomain,
               static_cast<long>(status));
    return false;
  }
  findGameServers(reinterpret_cast<const DNS_RECORDA*>(records), servers);
  // The list is not freed: the stub ends right after the launch.
  return servers->bFound;
}

}  // namespace

int resolveHostAddress(const char* host, char* out, size_t outSize) {
  static bool started = false;
  if (!started) {
    WSADATA data;
    started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  hostent* entry = gethostbyname(host);
  if (!entry)
    return 1;
  for (char** address = entry->h_addr_list; address && *address; ++address) {
    in_addr value;
    memcpy(&value, *address, sizeof value);
    copyText(out, outSize, inet_ntoa(value));
  }
  return 0;
}

bool bringThreadWindowForward(DWORD threadId) {
  return EnumChildWindows(GetDesktopWindow(), enumInstanceWindow, static_cast<LPARAM>(threadId)) ==
         1;
}

void launchClient() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};

  GameServers servers = {};
  bool named = askDnsForGameServers(&servers);
  ClientLaunchInput input = {};
  input.szProgram = g_szPrimaryExe;
  input.szAffiliate = g_szAffiliate;
  input.bScreenSize = GetSystemMetrics(SM_CMONITORS) > 1;
  input.nScreenWidth = GetSystemMetrics(SM_CXSCREEN);
  input.nScreenHeight = GetSystemMetrics(SM_CYSCREEN);
  input.pServers = named ? &servers : nullptr;
  char commandLine[kClientCommandLineSize] = "";
  bool built = buildClientCommandLine(input, commandLine, sizeof commandLine);

  char install[128] = "";
  readRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL, install, sizeof install);
  if (install[0]) {
    requestUrlAsync(g_szInstallFinishUrl);
    deleteRegistryValue(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_INSTALL);
    Sleep(3000);
  }

  // The program is named apart from its command line: with a blank in its
  // path, the line alone would make the system try the shorter names first
  // ("Quenzar" for "Quenzar Client.exe"), the stub's own among them.
  if (!built || !CreateProcessA(g_szPrimaryExe, commandLine, nullptr, nullptr, TRUE,
                                CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &process)) {
    unsigned error = built ? static_cast<unsigned>(GetLastError()) : 0u;
    logMessage(LOG_FAIL, "Unable to create process: %ul", error);
    process.dwProcessId = 0;
  } else {
    ScopedHandle thread(process.hThread);
    ScopedHandle client(process.hProcess);
    logMessage(LOG_INFO, "launchClient: started %s", commandLine);
    // Give the client a moment to create its window before looking for it.
    WaitForInputIdle(client.get(), 5000);
    bringThreadWindowForward(process.dwThreadId);
  }

  g_ulLastRunPid = process.dwProcessId;
  char record[kPathSize + 32];
  if (formatText(record, sizeof record, "%s %lu %lu", g_szLastRunPath,
                 static_cast<unsigned long>(g_ulLastRunPid),
                 static_cast<unsigned long>(g_ulPrimaryExeCrc)))
    writeRegistryString(HKEY_CURRENT_USER, PRODUCT_KEY, VALUE_LAST_RUN, record);
}
