// Fetching the product manifest over HTTP (Win32).
#pragma once

#include <cstddef>

// Largest manifest body taken, in bytes: a manifest of 10,000 files is about
// 1.5 MB; a server sending more than this is not sending a manifest, and the
// stub would otherwise hold whatever it sends in memory.
constexpr size_t kMaxManifestBody = 16u << 20;

// Fetches one manifest URL (no cache, no automatic redirects, agent "IE",
// the system's proxy settings) and rebuilds the list g_pxFileDescriptor from
// it. Returns a ManifestFetchResult: MANIFEST_OK; MANIFEST_FAILED when there
// is no connection, no internet handle, a line is refused or the body exceeds
// kMaxManifestBody; MANIFEST_BAD_STATUS for any status but "200" (redirects
// included); MANIFEST_REQUEST_FAILED when the request cannot be opened (logs
// "Connection failure, retry"). Blocks; call it on the manifest thread.
int fetchManifest(const char* url);
