#include "report/bug_report.h"

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <new>

#include "app/bounded_text.h"
#include "app/log.h"
#include "report/body_buffer.h"
#include "report/report_writer.h"
#include "report/system_report.h"
#include "app/resource.h"
#include "update/internet_handle.h"
#include "update/service_endpoints.h"

namespace {

// The prepared request body ("DATA=" and the sealed report).
uint8_t* g_pBugReport = nullptr;
size_t g_nBugReportSize = 0;
// The crash files that went into it whole.
unsigned g_nBugReportFiles = 0;
// Whether this run tried to build a report, whatever came of it.
bool g_bBugReportAttempted = false;
ReportBodyBuilder g_pBuildBody = buildReportBodyBuffer;

const char kFormHeader[] = "Content-Type: application/x-www-form-urlencoded";

struct DialogResult {
  char* comment;
  size_t size;
};

INT_PTR CALLBACK bugReportDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      // Centred on the parent's client area, the desktop when it has none.
      RECT box, client;
      GetWindowRect(dialog, &box);
      HWND parent = GetParent(dialog);
      GetClientRect(parent ? parent : GetDesktopWindow(), &client);
      SetWindowPos(dialog, nullptr, (client.right - box.right) / 2,
                   (client.bottom - box.bottom) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
      SendDlgItemMessageA(dialog, IDC_BUG_COMMENT, EM_LIMITTEXT, kBugCommentLimit, 0);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
      } else if (LOWORD(wParam) == IDC_BUG_SUBMIT) {
        DialogResult* result =
            reinterpret_cast<DialogResult*>(GetWindowLongPtrA(dialog, DWLP_USER));
        char comment[kBugCommentLimit + 1] = "";
        GetDlgItemTextA(dialog, IDC_BUG_COMMENT, comment, sizeof comment);
        comment[kBugCommentLimit] = '\0';
        copyText(result->comment, result->size, comment);
        EndDialog(dialog, 1);
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace

BugDialogAnswer showBugReportDialog(char* comment, size_t commentSize) {
  if (commentSize == 0)
    return BUG_DIALOG_NOT_SHOWN;
  comment[0] = '\0';
  DialogResult result = {comment, commentSize};
  INT_PTR answer = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_BUG_REPORT),
                                   nullptr, bugReportDialogProc, reinterpret_cast<LPARAM>(&result));
  if (answer == -1) {
    logMessage(LOG_FAIL, "bug report dialog could not be shown (%lu)",
               static_cast<unsigned long>(GetLastError()));
    return BUG_DIALOG_NOT_SHOWN;
  }
  return answer == 1 ? BUG_DIALOG_SUBMIT : BUG_DIALOG_CANCEL;
}

bool prepareBugReport(const char* comment) {
  g_bBugReportAttempted = true;
  char* text = new (std::nothrow) char[kReportBufferSize]();
  if (!text) {
    logMessage(LOG_FAIL, "bug report: out of memory");
    return false;
  }
  unsigned length = 0;
  unsigned files = buildSystemReport(text, &length, comment);
  size_t bodyLength = 0;
  uint8_t* body = g_pBuildBody(text, length, &bodyLength);
  delete[] text;
  if (!body) {
    logMessage(LOG_FAIL, "bug report: the report could not be sealed");
    return false;
  }
  delete[] g_pBugReport;
  g_pBugReport = body;
  g_nBugReportSize = bodyLength;
  g_nBugReportFiles = files;
  logMessage(LOG_INFO, "bug report prepared: %u bytes of report, %lu bytes of body", length,
             static_cast<unsigned long>(bodyLength));
  return true;
}

bool isBugReportPrepared() {
  return g_pBugReport != nullptr;
}

bool wasBugReportAttempted() {
  return g_bBugReportAttempted;
}

unsigned bugReportCrashFiles() {
  return g_pBugReport ? g_nBugReportFiles : 0;
}

void freeBugReport() {
  delete[] g_pBugReport;
  g_pBugReport = nullptr;
  g_nBugReportSize = 0;
  g_nBugReportFiles = 0;
}

void setReportBodyBuilderForTesting(ReportBodyBuilder builder) {
  g_pBuildBody = builder ? builder : buildReportBodyBuffer;
}

bool postBugReport() {
  if (!g_pBugReport)
    return false;
  if (InternetAttemptConnect(0) != ERROR_SUCCESS)
    return false;
  ScopedInternetHandle session(
      InternetOpenA("IE", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.valid())
    return false;
  ScopedInternetHandle connection(InternetConnectA(session.get(), serviceEndpoints().reportHost,
                                                   INTERNET_DEFAULT_HTTP_PORT, nullptr, nullptr,
                                                   INTERNET_SERVICE_HTTP, 0, 1));
  ScopedInternetHandle request;
  if (connection.valid())
    request.reset(HttpOpenRequestA(connection.get(), "POST", kBugReportPath, nullptr, nullptr,
                                   nullptr, 0, 0));
  bool sent =
      request.valid() && HttpSendRequestA(request.get(), kFormHeader, sizeof kFormHeader - 1,
                                          g_pBugReport, static_cast<DWORD>(g_nBugReportSize));
  if (!sent) {
    logMessage(LOG_WARNING, "bug report not sent (%lu)",
               static_cast<unsigned long>(GetLastError()));
    return false;
  }
  // Only an answer that accepts the report counts: after an error answer
  // the crash files must stay for a later try.
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                      &size, nullptr))
    status = 0;
  if (status < 200 || status > 299) {
    logMessage(LOG_WARNING, "bug report refused by the report server: status %lu",
               static_cast<unsigned long>(status));
    return false;
  }
  logMessage(LOG_INFO, "bug report sent: status %lu", static_cast<unsigned long>(status));
  return true;
}
