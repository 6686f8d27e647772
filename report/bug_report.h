// The bug report itself: the question to the player, the request body built
// from the system report, and its upload to the report server.
#pragma once

#include <cstddef>

// Shows the bug report dialog (the rich-edit library must be loaded). True
// on Submit with the comment (at most 1023 characters) in comment; false on
// Cancel or when the dialog cannot be shown.
bool showBugReportDialog(char* comment, size_t commentSize);

// Builds the system report with the comment (null: none) and seals it into
// the request body kept for postBugReport, replacing an earlier one.
void prepareBugReport(const char* comment);

// Whether a body was prepared in this run.
bool isBugReportPrepared();

// Frees the prepared body at the end of the run; none is prepared afterwards.
void freeBugReport();

// POSTs the prepared body to "/bug.php" on the report server. True when the
// request was sent and answered (the status is not judged).
bool postBugReport();
