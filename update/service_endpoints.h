// Where the service lives: every host name the program talks to, set at build
// time (CMake cache variables VELORIN_HOST_*), and the fixed paths on them.
// Every URL of the program is built here, so one table says where it goes.
#pragma once

#include <cstddef>

struct ServiceEndpoints {
  const char* primaryUpdateHost;    // serves "/product.txt" first
  const char* secondaryUpdateHost;  // asked when the primary fails
  const char* downloadHost;         // window pages and the maintenance check
  const char* apiHost;              // install tracking
  const char* reportHost;           // bug reports ("/bug.php")
  const char* gameDomain;           // DNS data naming the game servers
  const char* gameHostPrimary;      // first default game host
  const char* gameHostSecondary;    // second default game host
  const char* webSite;              // public web site, opened in the browser
};

// The table compiled into this build.
const ServiceEndpoints& serviceEndpoints();

// Paths and queries fixed by the service.
constexpr const char* kManifestPath = "/product.txt";
constexpr const char* kFlashPagePath = "/client/php/flash8/index.php?mode=flash";
constexpr const char* kUpdatePagePath = "/client/php/flash8/index.php?mode=update";
constexpr const char* kMaintenancePagePath = "/client/php/ServerStatus/maintenance.php";
constexpr const char* kInstallStartPath = "/affiliate/register_install_start.php";
constexpr const char* kInstallFinishPath = "/affiliate/register_install_finish.php";
constexpr const char* kBugReportPath = "/bug.php";

// Size of a URL buffer, terminator included: the longest URL the system's
// internet functions take is 2083 characters.
constexpr size_t kServiceUrlSize = 2084;

// Writes "http://" + host + pathAndQuery into out (outSize bytes, terminator
// included). False, with out empty, when the host is empty or the URL does
// not fit: a cut URL would name another page.
bool buildServiceUrl(char* out, size_t outSize, const char* host, const char* pathAndQuery);

// The public web site's address, "http://" + web site host + "/", opened in
// the user's browser. False, with out empty, when it does not fit.
bool buildWebSiteUrl(char* out, size_t outSize);
