// The status line's text.
#pragma once

// Loads string id into g_szStatus (100 characters); a string that is missing
// or does not fit leaves the status empty rather than cut.
void setStatusString(int id);
// Copies a literal into g_szStatus the same way.
void setStatusText(const char* text);
