// The bug report itself: the question to the player, the request body built
// from the system report, and its upload to the report server.
#pragma once

#include <cstddef>
#include <cstdint>

enum BugDialogAnswer { BUG_DIALOG_SUBMIT, BUG_DIALOG_CANCEL, BUG_DIALOG_NOT_SHOWN };

// Shows the bug report dialog (the rich-edit library must be loaded). Submit
// leaves the comment (at most 1023 characters) in comment.
BugDialogAnswer showBugReportDialog(char* comment, size_t commentSize);

// Builds the system report with the comment (null: none) and seals it into
// the request body kept for postBugReport, replacing an earlier one. False
// (and the earlier body kept) when it could not be built.
bool prepareBugReport(const char* comment);

// Whether a body was prepared in this run.
bool isBugReportPrepared();
// Whether this run tried to prepare one, built or not: the run then does not
// ask about the same crash files again.
bool wasBugReportAttempted();
// The crash files (bits of crash_files.h) the prepared body carries whole;
// only those may be recorded and deleted once it is sent.
unsigned bugReportCrashFiles();

// Frees the prepared body at the end of the run; none is prepared afterwards.
void freeBugReport();

// POSTs the prepared body to "/bug.php" on the report server. True only
// when the server answered with a 2xx status.
bool postBugReport();

// The body builder prepareBugReport uses (null: the real one), so a test can
// make the preparation fail.
using ReportBodyBuilder = uint8_t* (*)(const void* report, size_t length, size_t* bodyLength);
void setReportBodyBuilderForTesting(ReportBodyBuilder builder);
