#include "update/service_endpoints.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(ServiceEndpointsTest, UrlFitsExactlyOrNotAtAll) {
  // "http://" (7) + "h.test" (6) + "/product.txt" (12) = 25 characters.
  char out[27];
  memset(out, '#', sizeof out);
  ASSERT_TRUE(buildServiceUrl(out, 26, "h.test", kManifestPath));
  EXPECT_STREQ("http://h.test/product.txt", out);
  EXPECT_EQ('#', out[26]) << "wrote past the buffer";

  memset(out, '#', sizeof out);
  EXPECT_FALSE(buildServiceUrl(out, 25, "h.test", kManifestPath));
  EXPECT_STREQ("", out) << "a cut URL names another page";

  strcpy(out, "stale");
  EXPECT_FALSE(buildServiceUrl(out, sizeof out, "", kManifestPath));
  EXPECT_STREQ("", out);
  EXPECT_FALSE(buildServiceUrl(out, sizeof out, nullptr, kManifestPath));
  EXPECT_FALSE(buildServiceUrl(out, 0, "h.test", kManifestPath));
}
