// The bug report question after a crash of the client (or of this program).
#include "app/log.h"
#include "app/system_library.h"
#include "app/win_handles.h"
#include "install/install_actions.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "ui/client_launch.h"
#include "ui/main_window.h"
#include "ui/window_handlers.h"

namespace {

// Sends the prepared report; keeps the crash files when the user wants to
// try again in a later run. Once sent, only the files the report carried
// whole are recorded and deleted: the others wait for the next report.
void sendReport() {
  if (postBugReport()) {
    const unsigned carried = bugReportCrashFiles();
    recordReportedFiles(carried);
    deleteCrashFiles(carried);
    return;
  }
  if (MessageBoxA(nullptr,
                  "The bug report could not be transmitted.  Do you wish to try and send it "
                  "later?",
                  "Error", MB_YESNO | MB_ICONQUESTION) == IDNO)
    deleteCrashFiles();
}

// A report that cannot be built is not sent and not asked about again in
// this run; its crash files stay for the next one.
void prepareAndSend(const char* comment) {
  if (!prepareBugReport(comment)) {
    logMessage(LOG_FAIL, "bug report could not be prepared; the crash files are kept");
    return;
  }
  sendReport();
}

}  // namespace

void onBugReportPrompt() {
  layoutWindow();  // hides the window in the bug report state
  // The dialog's comment box needs the rich-edit class. The library stays
  // loaded for the rest of the run, as the window's own controls use it.
  if (!loadSystemLibrary("RICHED32.DLL")) {
    prepareAndSend(nullptr);
  } else {
    char comment[4096] = "";
    switch (showBugReportDialog(comment, sizeof comment)) {
      case BUG_DIALOG_SUBMIT:
        prepareAndSend(comment);
        break;
      case BUG_DIALOG_NOT_SHOWN:
        // Nobody declined the report: it goes without a comment, as it does
        // when the rich-edit library is missing.
        logMessage(LOG_WARNING, "bug report sent without a comment: no dialog");
        prepareAndSend(nullptr);
        break;
      case BUG_DIALOG_CANCEL:
        deleteCrashFiles();
        break;
    }
  }
  restartDiscovery();
}
