// ui_driver: plays the user in scenario tests, under Wine in velorin.exe's prefix. Every command
// prints one line per window or control of tab-separated key=value fields (text last, escaped);
// exit code 0 on success, 1 when a wait timed out or nothing matched, 2 on a usage error.
//   windows|wait [filters] [--timeout ms]  matching top-level windows (wait: once one does)
//   gone HWND [--timeout ms]           wait until the window is destroyed
//   children HWND                      child controls with rectangles in the parent
//   press HWND (--id N | --text T)     post the button's BN_CLICKED to the window
//   post HWND MSG WPARAM LPARAM        PostMessageA (numbers in C notation)
//   send HWND MSG WPARAM LPARAM        the message sent (time-limited), its result printed
//   foreground                         the foreground window
//   text HWND | type HWND TEXT         whole text, however long; WM_CHAR per character
//   resize HWND W H                    SetWindowPos, then the rectangle
//   watchstyle ID [filters] [--timeout ms]  each change of child ID's own WS_VISIBLE flag
//   watchprogress [filters] [--timeout ms]  each change of the progress bar's shown/range/pos
//   shortcut PATH | folder CSIDL       a shell link read back; a special folder's path
// Filters: --class C, --title T, --text T (a child's text holds T), --exclude HWND, --visible.

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Tab, line feed, carriage return and backslash escaped, so that a record stays one line.
const char* esc(const std::string& text) {
  static std::string slots[8];  // enough for the fields of one printf
  static int next = 0;
  std::string& out = slots[next++ % 8];
  out.clear();
  for (char c : text)
    out += c == '\t'   ? "\\t"
           : c == '\n' ? "\\n"
           : c == '\r' ? "\\r"
           : c == '\\' ? "\\\\"
                       : std::string(1, c);
  return out.c_str();
}

int fail(const char* what) {
  printf("%s %lu\n", what, GetLastError());
  return 1;
}

// Prints one record and succeeds.
int out(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  return 0;
}

// The time-out keeps a hung target process from hanging the driver.
bool ask(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR* result, UINT ms = 5000) {
  return SendMessageTimeoutA(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG, ms, result) != 0;
}

std::string windowText(HWND hwnd) {
  char buffer[1024] = {0};
  DWORD_PTR copied = 0;
  if (!ask(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), &copied, 2000))
    GetWindowTextA(hwnd, buffer, sizeof buffer);
  buffer[sizeof buffer - 1] = 0;
  return buffer;
}

std::string className(HWND hwnd) {
  char buffer[256] = {0};
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

unsigned long number(const char* text) {
  return strtoul(text, nullptr, 0);
}

HWND handle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(number(text)));
}

unsigned long hex(const void* pointer) {
  return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(pointer));
}

// x=, y=, w=, h= on the screen, or in relativeTo's client area.
std::string rectFields(HWND hwnd, HWND relativeTo) {
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  if (relativeTo)
    MapWindowPoints(nullptr, relativeTo, reinterpret_cast<POINT*>(&rect), 2);
  char text[96];
  snprintf(text, sizeof text, "x=%ld\ty=%ld\tw=%ld\th=%ld", rect.left, rect.top,
           rect.right - rect.left, rect.bottom - rect.top);
  return text;
}

int printWindow(HWND hwnd) {
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
  return out(
      "hwnd=0x%lx\tpid=%lu\ttid=%lu\tclass=%s\tvisible=%d\tuserdata=0x%08lx\towner=0x%lx\t%"
      "s\ttitle=%s\n",
      hex(hwnd), pid, tid, esc(className(hwnd)), IsWindowVisible(hwnd) ? 1 : 0,
      static_cast<unsigned long>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)),
      hex(GetWindow(hwnd, GW_OWNER)), rectFields(hwnd, nullptr).c_str(), esc(windowText(hwnd)));
}

template <typename Visit>
BOOL CALLBACK visitWindow(HWND hwnd, LPARAM visit) {
  return (*reinterpret_cast<Visit*>(visit))(hwnd) ? TRUE : FALSE;
}

// Calls visit on each child (each top-level window without a parent) until it returns false.
template <typename Visit>
void eachWindow(HWND parent, Visit visit) {
  if (parent)
    EnumChildWindows(parent, visitWindow<Visit>, reinterpret_cast<LPARAM>(&visit));
  else
    EnumWindows(visitWindow<Visit>, reinterpret_cast<LPARAM>(&visit));
}

// A child by control id, or by text without mnemonic '&' ("&No" is "No") when id < 0.
HWND findChild(HWND parent, const std::string& text, int id) {
  HWND found = nullptr;
  eachWindow(parent, [&](HWND hwnd) {
    std::string label;
    for (char c : windowText(hwnd))
      if (c != '&')
        label += c;
    bool match = id >= 0 ? GetDlgCtrlID(hwnd) == id : label.find(text) != std::string::npos;
    if (match)
      found = hwnd;
    return !match;
  });
  return found;
}

struct Options {
  std::string windowClass, title, childText;
  std::vector<HWND> excluded;
  bool visibleOnly = false;
  DWORD timeoutMs = 15000;
  int controlId = -1;  // press --id
};

// Parses options from argv[first...]; false on an unknown one.
bool parseOptions(int argc, char** argv, int first, Options* options) {
  for (int i = first; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--visible") {
      options->visibleOnly = true;
      continue;
    }
    if (i + 1 >= argc)
      return false;
    const char* value = argv[++i];
    if (option == "--class")
      options->windowClass = value;
    else if (option == "--title")
      options->title = value;
    else if (option == "--text")
      options->childText = value;
    else if (option == "--exclude")
      options->excluded.push_back(handle(value));
    else if (option == "--timeout")
      options->timeoutMs = number(value);
    else if (option == "--id")
      options->controlId = static_cast<int>(number(value));
    else
      return false;
  }
  return true;
}

bool matches(HWND hwnd, const Options& filter) {
  for (HWND excluded : filter.excluded)
    if (excluded == hwnd)
      return false;
  return (!filter.visibleOnly || IsWindowVisible(hwnd)) &&
         (filter.windowClass.empty() || className(hwnd) == filter.windowClass) &&
         (filter.title.empty() || windowText(hwnd) == filter.title) &&
         (filter.childText.empty() || findChild(hwnd, filter.childText, -1));
}

std::vector<HWND> findWindows(const Options& filter) {
  std::vector<HWND> found;
  eachWindow(nullptr, [&](HWND hwnd) {
    if (matches(hwnd, filter))
      found.push_back(hwnd);
    return true;
  });
  return found;
}

// Polls until done() holds (0) or timeoutMs from start pass (1, "timeout" printed).
template <typename Done>
int pollUntil(DWORD start, DWORD timeoutMs, DWORD pollMs, Done done) {
  for (; !done(); Sleep(pollMs)) {
    if (GetTickCount() - start >= timeoutMs) {
      printf("timeout\n");
      return 1;
    }
  }
  return 0;
}

// A .lnk as the shell reads it: what the user's click would start.
int printShortcut(const char* path) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoInitialize(nullptr)) ||
      FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return fail("no shell link object");
  IPersistFile* file = nullptr;
  WCHAR wide[MAX_PATH] = L"";
  MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
  int code = 1;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(wide, STGM_READ))) {
    char target[MAX_PATH] = "", args[1024] = "", folder[MAX_PATH] = "", description[1024] = "";
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(args, sizeof args);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetDescription(description, sizeof description);
    printf("target=%s\targs=%s\tworkdir=%s\tdescription=%s\n", esc(target), esc(args), esc(folder),
           esc(description));
    code = 0;
  } else {
    printf("not loaded\n");
  }
  if (file)
    file->Release();
  link->Release();
  return code;
}

// Runs a command on its arguments a[0..count) (those before the first option) with options o.
int run(const std::string& command, char** a, int count, const Options& o) {
  auto is = [&](const char* name, int args) { return command == name && count == args; };
  HWND h = count > 0 ? handle(a[0]) : nullptr;
  DWORD_PTR result = 0;
  if (is("windows", 0) || is("wait", 0)) {
    std::vector<HWND> found;
    int code = pollUntil(GetTickCount(), o.timeoutMs, 50,
                         [&] { return !(found = findWindows(o)).empty() || command == "windows"; });
    for (HWND hwnd : found)
      printWindow(hwnd);
    return code;
  }
  if (is("gone", 1))
    return pollUntil(GetTickCount(), o.timeoutMs, 50, [&] { return !IsWindow(h); }) ? 1
                                                                                    : out("gone\n");
  if (is("children", 1)) {
    eachWindow(h, [&](HWND hwnd) {
      printf("hwnd=0x%lx\tid=%d\tclass=%s\tvisible=%d\t%s\ttext=%s\n", hex(hwnd),
             GetDlgCtrlID(hwnd), esc(className(hwnd)), IsWindowVisible(hwnd) ? 1 : 0,
             rectFields(hwnd, h).c_str(), esc(windowText(hwnd)));
      return true;
    });
    return 0;
  }
  // A click as the dialog sees it; posted so the driver never blocks in the target's modal loop.
  if (is("press", 1)) {
    if (o.controlId < 0 && o.childText.empty())
      return 2;
    HWND button = findChild(h, o.childText, o.controlId);
    if (!button)
      return fail("no such control");
    int id = GetDlgCtrlID(button);
    if (!PostMessageA(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)))
      return fail("post failed");
    return out("pressed id=%d\n", id);
  }
  if (is("post", 4) || is("send", 4)) {
    UINT message = number(a[1]);
    WPARAM wparam = number(a[2]);
    LPARAM lparam = static_cast<LPARAM>(number(a[3]));
    if (command == "post")
      return PostMessageA(h, message, wparam, lparam) ? out("posted\n") : fail("post failed");
    if (!ask(h, message, wparam, lparam, &result))
      return fail("no answer");
    return out("result=%ld\n", static_cast<long>(result));
  }
  if (is("foreground", 0)) {
    HWND hwnd = GetForegroundWindow();
    return hwnd ? printWindow(hwnd) : fail("none");
  }
  // WM_GETTEXT is marshalled across processes with its buffer size: any length can be read.
  if (is("text", 1)) {
    DWORD_PTR length = 0;
    if (!ask(h, WM_GETTEXTLENGTH, 0, 0, &length))
      return fail("no answer");
    std::vector<char> buffer(length + 2, '\0');
    ask(h, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &result);
    buffer.back() = '\0';
    return out("length=%lu\ttext=%s\n", static_cast<unsigned long>(result), esc(buffer.data()));
  }
  // Sent, not posted: the text is in place when the command ends.
  if (is("type", 2)) {
    for (const char* p = a[1]; *p; ++p)
      if (!ask(h, WM_CHAR, static_cast<unsigned char>(*p), 1, &result))
        return fail("no answer");
    return out("typed=%u\n", static_cast<unsigned>(strlen(a[1])));
  }
  if (is("resize", 3)) {
    BOOL done = SetWindowPos(h, nullptr, 0, 0, number(a[1]), number(a[2]),
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Sleep(200);
    return out("done=%d\t%s\n", done ? 1 : 0, rectFields(h, nullptr).c_str());
  }
  if (is("shortcut", 1))
    return printShortcut(a[0]);
  if (is("folder", 1)) {
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, number(a[0]), FALSE))
      return fail("no folder");
    return out("path=%s\n", esc(path));
  }
  if (!is("watchstyle", 1) && !is("watchprogress", 0))
    return 2;
  // Waits for a matching top-level window, then prints every change of its child's shown flag
  // (and the progress bar's range and position) at a fine interval, for states that last a
  // moment, until the window is gone.
  DWORD start = GetTickCount();
  HWND window = nullptr;
  if (pollUntil(start, o.timeoutMs, 5, [&] {
        std::vector<HWND> found = findWindows(o);
        return (window = found.empty() ? nullptr : found[0]) != nullptr;
      }))
    return 1;
  std::string last;
  if (pollUntil(start, o.timeoutMs, 1, [&] {
        if (!IsWindow(window))
          return true;
        bool bar = command == "watchprogress";
        HWND child = bar ? FindWindowExA(window, nullptr, PROGRESS_CLASSA, nullptr)
                         : GetDlgItem(window, static_cast<int>(number(a[0])));
        // The child's own WS_VISIBLE bit: IsWindowVisible is false for every child of a hidden
        // window. The flag is read first: the bar is shown only after its range is set, so a
        // shown bar's range is never an earlier one. A bar that goes away or does not answer
        // reads as -1, as does a child not created yet, which is not reported before anything else.
        std::string now =
            "shown=" +
            std::to_string(child ? (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE ? 1 : 0) : -1);
        DWORD_PTR range = 0, position = 0;
        if (bar && child) {
          if (ask(child, PBM_GETRANGE, FALSE, 0, &range, 1000) &&
              ask(child, PBM_GETPOS, 0, 0, &position, 1000) && IsWindow(child))
            now += "\trange=" + std::to_string(range) + "\tpos=" + std::to_string(position);
          else
            now = "shown=-1";
        }
        if (now != last && !(last.empty() && now == "shown=-1")) {
          printf("%s\tms=%lu\n", now.c_str(), GetTickCount() - start);
          last = now;
        }
        return false;
      }))
    return 1;
  return out("gone\n");
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  int first = 2;  // the command's arguments come before its options
  while (first < argc && strncmp(argv[first], "--", 2) != 0)
    ++first;
  Options options;
  int code = argc < 2 || !parseOptions(argc, argv, first, &options)
                 ? 2
                 : run(argv[1], argv + 2, first - 2, options);
  if (code == 2)
    fprintf(stderr, "usage: ui_driver COMMAND ... (the commands are listed in ui_driver.cpp)\n");
  return code;
}
