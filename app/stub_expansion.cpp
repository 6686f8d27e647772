#include "app/stub_expansion.h"

#include "app/bounded_text.h"
#include "app/log.h"

char g_szAffiliate[kAffiliateSize];
char g_szExternalFiles[kMaxCarriedFiles][kCarriedNameSize];
char g_szExpansionFolder[260];

bool continueAfterExpansion(ExpandResult result) {
  if (result == EXPAND_FAILED)
    return false;
  logMessage(LOG_INFO, "WinMain: Stub has been expanded");
  return true;
}

AffiliateChoice chooseAffiliate(const char* stored, const char* carried) {
  if (stored[0] && !equalsIgnoreCase(stored, "-1")) {
    if (isValidAffiliate(stored))
      return {stored, false};
    // It would end up in a URL and on the client's command line.
    logMessage(LOG_WARNING, "expandStub: stored affiliate '%s' is not an identifier; ignored",
               stored);
  }
  if (!carried || !carried[0])
    return {"", false};
  if (!isValidAffiliate(carried)) {
    logMessage(LOG_WARNING, "expandStub: carried affiliate '%s' is not an identifier; ignored",
               carried);
    return {"", false};
  }
  return {carried, true};
}
