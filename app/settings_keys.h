// Every registry key and value name the program uses, in one place.
#pragma once

// Product settings (string values) under HKEY_CURRENT_USER.
#define PRODUCT_KEY "Software\\Tavelin\\QuenzarClient"
// Reported-crash lists (binary values): a sibling key, not a subkey.
#define DEBUG_KEY "Software\\Tavelin\\QuenzarClient.Debug"
// The browser toolbar button of the installed client.
#define TOOLBAR_KEY \
  "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{6FDD5236-C9F0-49ef-935D-385F5E21991A}"

#define VALUE_CWD "CWD"
#define VALUE_AFFILIATE "Affiliate"
#define VALUE_LAST_STUB_RUN "lastSRun"
#define VALUE_LAST_RUN "lastRun"
#define VALUE_REQUEST_DELETE "requestDelete"
#define VALUE_INSTALL "install"
#define VALUE_USG_REPORTS "usgBugReports"
#define VALUE_DBG_REPORTS "dbgBugReports"
#define VALUE_LOG_REPORTS "logBugReports"
