#include "update/install_tracking.h"

#include <gtest/gtest.h>

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/stub_expansion.h"

// Digests computed apart from this code (Python's hashlib over "r|key").
TEST(InstallTrackingTest, SignatureAndAddressesThatFitOrAreLeftEmpty) {
  const std::tuple<int, const char*> cases[] = {
      {0, "ef8ed7a9370032a9ca6894376c029f8c0"},
      {7, "484e78db6045e45d0d5c3a28bf0aec8c7"},
      {32767, "8fe14c9cae7daa1ee1cd99116f9f218532767"},
  };
  for (const auto& [r, signature] : cases) {
    char out[128];
    ASSERT_TRUE(buildTrackingSignature(r, out, sizeof out));
    EXPECT_STREQ(out, signature);
  }
  char small[33];
  EXPECT_FALSE(buildTrackingSignature(7, small, sizeof small));
  EXPECT_STREQ(small, "");
  // One signature for both; one that does not fit, or no host, leaves it empty.
  const std::string path = "http://api.quenzar.test/affiliate/register_install_",
                    query = ".php?auth=484e78db6045e45d0d5c3a28bf0aec8c7&casino_id=1&session=";
  buildInstallTrackingUrlsFor(7, "api.quenzar.test", "aff-1_X");
  EXPECT_EQ(g_szInstallStartUrl, path + "start" + query + "aff-1_X");
  EXPECT_EQ(g_szInstallFinishUrl, path + "finish" + query + "aff-1_X");
  buildInstallTrackingUrlsFor(7, "api.quenzar.test", "");
  EXPECT_EQ(g_szInstallStartUrl, path + "start" + query);
  for (const char* host : {"", static_cast<const char*>(nullptr)}) {
    buildInstallTrackingUrlsFor(7, host, "aff");
    EXPECT_STREQ(g_szInstallStartUrl, "");
  }
  // The finish address is one character longer than the start address.
  std::string exact(kTrackingUrlSize - 1 - (path + "finish" + query).size(), 'a');
  buildInstallTrackingUrlsFor(7, "api.quenzar.test", exact.c_str());
  EXPECT_EQ(g_szInstallFinishUrl, path + "finish" + query + exact);
  clearLog();
  buildInstallTrackingUrlsFor(7, "api.quenzar.test", (exact + "a").c_str());
  EXPECT_STREQ(g_szInstallFinishUrl, "");
  EXPECT_EQ(strlen(g_szInstallStartUrl), kTrackingUrlSize - 1);
  EXPECT_NE(std::string(logText()).find("install-finish address longer than 259"),
            std::string::npos);
  clearLog();
}

TEST(InstallTrackingTest, StartUpDrawsOneNumberForBoth) {
  copyText(g_szAffiliate, sizeof g_szAffiliate, "aff");
  buildInstallTrackingUrls();
  // The scenarios check each signature; here that both carry the same one.
  std::string start = g_szInstallStartUrl, finish = g_szInstallFinishUrl;
  size_t a = start.find("auth="), b = finish.find("auth=");
  ASSERT_NE(a, std::string::npos);
  EXPECT_EQ(finish.substr(b, finish.find('&') - b), start.substr(a, start.find('&') - a));
  g_szAffiliate[0] = '\0';
}
