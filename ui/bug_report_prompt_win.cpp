// The bug report question after a crash of the client (or of this program).
#include "app/log.h"
#include "app/win_handles.h"
#include "install/install_actions.h"
#include "report/bug_report.h"
#include "report/crash_files.h"
#include "ui/client_launch.h"
#include "ui/main_window.h"
#include "ui/window_handlers.h"

namespace {

// Sends the prepared report; keeps the crash files when the user wants to
// try again in a later run.
void sendReport() {
  if (postBugReport()) {
    recordReportedFiles();
    deleteCrashFiles();
    return;
  }
  if (MessageBoxA(nullptr,
                  "The bug report could not be transmitted.  Do you wish to try and send it "
                  "later?",
                  "Error", MB_YESNO | MB_ICONQUESTION) == IDNO)
    deleteCrashFiles();
}

}  // namespace

void onBugReportPrompt() {
  layoutWindow();  // hides the window in the bug report state
  // The dialog's comment box needs the rich-edit class. The library stays
  // loaded for the rest of the run, as the window's own controls use it.
  if (!LoadLibraryA("RICHED32.DLL")) {
    prepareBugReport(nullptr);
    sendReport();
  } else {
    char comment[4096] = "";
    if (showBugReportDialog(comment, sizeof comment)) {
      prepareBugReport(comment);
      sendReport();
    } else {
      deleteCrashFiles();
    }
  }
  restartDiscovery();
}
