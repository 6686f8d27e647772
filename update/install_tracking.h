// Install tracking: the signed addresses that register an installation with
// the affiliate interface of the API server, once when the user accepts the
// install folder and once at the client's first start after it.
#pragma once

#include <cstddef>

constexpr size_t kTrackingUrlSize = 260;

// Secret shared with the API server, used as text.
constexpr const char* kTrackingKey = "5be0a9d27c41f6e38d02b7c95a4e1f60";

// Both built at start; empty when an address did not fit (it is then not sent).
extern char g_szInstallStartUrl[kTrackingUrlSize];
extern char g_szInstallFinishUrl[kTrackingUrlSize];

// The signature for the number r: the MD5 hex digest of "r|key" followed by r
// in decimal. False, with out empty, when out is too small.
bool buildTrackingSignature(int r, char* out, size_t outSize);

// Fills both addresses from the API host, the signature of r and the
// affiliate: "<base>?auth=<signature>&casino_id=1&session=<affiliate>". An
// address that does not fit its buffer is left empty and logged, never cut.
void buildInstallTrackingUrlsFor(int r, const char* apiHost, const char* affiliate);

// The start-up step: a number from 0 to 32767 drawn from a generator seeded
// with the time, the API host of this build and g_szAffiliate.
void buildInstallTrackingUrls();
