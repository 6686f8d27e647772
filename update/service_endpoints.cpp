#include "update/service_endpoints.h"

#include <cstring>

#include "app/bounded_text.h"

// The build passes the host names as definitions; a build without them (a
// tool or a test) gets the test domain that the scenarios resolve.
#ifndef VELORIN_HOST_UPDATE1
#define VELORIN_HOST_UPDATE1 "update1.quenzar.test"
#endif
#ifndef VELORIN_HOST_UPDATE2
#define VELORIN_HOST_UPDATE2 "update2.quenzar.test"
#endif
#ifndef VELORIN_HOST_DOWNLOAD
#define VELORIN_HOST_DOWNLOAD "download.quenzar.test"
#endif
#ifndef VELORIN_HOST_API
#define VELORIN_HOST_API "api.quenzar.test"
#endif
#ifndef VELORIN_HOST_REPORT
#define VELORIN_HOST_REPORT "bugs.quenzar.test"
#endif
#ifndef VELORIN_HOST_GAME_DOMAIN
#define VELORIN_HOST_GAME_DOMAIN "games.quenzar.test"
#endif
#ifndef VELORIN_HOST_GAME1
#define VELORIN_HOST_GAME1 "game1.games.quenzar.test"
#endif
#ifndef VELORIN_HOST_GAME2
#define VELORIN_HOST_GAME2 "game2.games.quenzar.test"
#endif
#ifndef VELORIN_HOST_WEB_SITE
#define VELORIN_HOST_WEB_SITE "www.quenzar.test"
#endif

const ServiceEndpoints& serviceEndpoints() {
  static const ServiceEndpoints table = {
      VELORIN_HOST_UPDATE1, VELORIN_HOST_UPDATE2, VELORIN_HOST_DOWNLOAD,
      VELORIN_HOST_API,     VELORIN_HOST_REPORT,  VELORIN_HOST_GAME_DOMAIN,
      VELORIN_HOST_GAME1,   VELORIN_HOST_GAME2,   VELORIN_HOST_WEB_SITE,
  };
  return table;
}

bool buildServiceUrl(char* out, size_t outSize, const char* host, const char* pathAndQuery) {
  if (!out || outSize == 0)
    return false;
  out[0] = '\0';
  if (!host || !*host || !pathAndQuery)
    return false;
  if (!formatText(out, outSize, "http://%s%s", host, pathAndQuery)) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool buildWebSiteUrl(char* out, size_t outSize) {
  return buildServiceUrl(out, outSize, serviceEndpoints().webSite, "/");
}
