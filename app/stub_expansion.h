// What the expansion of the files carried in the executable's tail reported,
// what WinMain makes of it, and the affiliate identifier it settles.
#pragma once

#include <cstddef>

#include "app/stub_payload.h"

enum ExpandResult {
  EXPAND_DONE,    // the tail was read (or there was none); its files are written
  EXPAND_FAILED,  // the executable could not be read or its tail is damaged
};

// The affiliate identifier in force; empty when there is none.
extern char g_szAffiliate[kAffiliateSize];
// Names of the files this run wrote, from the first slot; the first empty
// slot ends the list.
extern char g_szExternalFiles[kMaxCarriedFiles][kCarriedNameSize];
// The folder they were written to (the current folder at expansion).
extern char g_szExpansionFolder[260];

// Writes the files carried in the executable at ownPath into the current
// folder and settles g_szAffiliate. EXPAND_FAILED, with nothing written, when
// the executable cannot be read or its tail is cut short or damaged.
ExpandResult expandStub(const char* ownPath);
// Deletes the files this run wrote, in the folder they were written to
// (folder, the install folder, when none was written).
void deleteExternalFiles(const char* folder);

// Logs "WinMain: Stub has been expanded" when expansion went through; false
// when the run must end because the executable is damaged.
bool continueAfterExpansion(ExpandResult result);

// Which affiliate identifier a start uses, from the stored value ("Affiliate")
// and the one the tail carries (null without a tail). The stored one wins;
// "-1" or empty stores none. Only an identifier of letters, digits, "-" and
// "_" is used or recorded: anything else counts as none and is logged.
struct AffiliateChoice {
  const char* szUse;  // the identifier in force ("" for none); points into an argument
  bool bRecord;       // write it as "Affiliate": the store had none
};
AffiliateChoice chooseAffiliate(const char* stored, const char* carried);
