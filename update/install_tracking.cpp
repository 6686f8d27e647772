#include "update/install_tracking.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/stub_expansion.h"
#include "crypto/md5_digest.h"
#include "update/service_endpoints.h"

char g_szInstallStartUrl[kTrackingUrlSize];
char g_szInstallFinishUrl[kTrackingUrlSize];

namespace {

void buildOne(char* out,
              const char* host,
              const char* path,
              const char* signature,
              const char* affiliate,
              const char* what) {
  char query[kTrackingUrlSize];
  bool built = formatText(query, sizeof query, "%s?auth=%s&casino_id=1&session=%s", path, signature,
                          affiliate) &&
               buildServiceUrl(out, kTrackingUrlSize, host, query);
  if (!built) {
    out[0] = '\0';
    logMessage(LOG_WARNING,
               "buildInstallTrackingUrls: %s address longer than %u characters; "
               "it will not be sent",
               what, static_cast<unsigned>(kTrackingUrlSize - 1));
  }
}

}  // namespace

bool buildTrackingSignature(int r, char* out, size_t outSize) {
  char text[128];
  if (!formatText(text, sizeof text, "%d|%s", r, kTrackingKey)) {
    if (outSize)
      out[0] = '\0';
    return false;
  }
  char digest[kMd5HexSize];
  md5HexInto(text, strlen(text), digest);
  return formatText(out, outSize, "%s%d", digest, r);
}

void buildInstallTrackingUrlsFor(int r, const char* apiHost, const char* affiliate) {
  char signature[128];
  buildTrackingSignature(r, signature, sizeof signature);  // 37 characters at most: fits
  buildOne(g_szInstallStartUrl, apiHost, kInstallStartPath, signature, affiliate, "install-start");
  buildOne(g_szInstallFinishUrl, apiHost, kInstallFinishPath, signature, affiliate,
           "install-finish");
}

void buildInstallTrackingUrls() {
  srand(static_cast<unsigned>(time(nullptr)));
  int r = rand() % 32768;
  buildInstallTrackingUrlsFor(r, serviceEndpoints().apiHost, g_szAffiliate);
}
