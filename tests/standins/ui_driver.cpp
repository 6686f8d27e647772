// ui_driver: plays the user in scenario tests. It runs under Wine in the same
// prefix as velorin.exe, finds top-level windows and dialogs, reads their texts,
// presses their buttons and posts commands, and can hold a file open.
//
// Every command prints one line per window or control, as tab-separated
// key=value fields (the text field last; tab, line feed, carriage return and
// backslash escaped as \t \n \r \\). Exit code 0 on success, 1 when a wait
// timed out or nothing matched, 2 on a usage error.
//
//   windows   [filters]                 list matching top-level windows
//   wait      [filters] [--timeout ms]  wait until one matches, list matches
//   gone      HWND [--timeout ms]       wait until the window is destroyed
//   children  HWND                      list child controls (id, class, text)
//   press     HWND (--id N | --text T)  post WM_COMMAND for that button
//   post      HWND MSG WPARAM LPARAM    PostMessageA (numbers in C notation)
//   foreground                          the foreground window
//   osversion                           what GetVersionExA reports
//   text      HWND                      the whole text of a window or control
//                                       (length= and text=, no size limit)
//   type      HWND TEXT                 sends TEXT to an edit control one
//                                       WM_CHAR at a time, as keys would
//   hittest   HWND X Y                  what WM_NCHITTEST answers at screen X,Y
//   resize    HWND W H                  SetWindowPos to W x H, then its rect
//   screen                              desktop client size (w=, h=)
//   textwidth TEXT                      pixel width of TEXT in 9-point bold
//                                       Arial on the screen
//   watchstyle ID [filters] [--timeout ms]
//                                       wait for a matching top-level window,
//                                       then print every change of its child
//                                       ID's own WS_VISIBLE flag until the
//                                       window is destroyed ("gone")
//   watchprogress [filters] [--timeout ms]
//                                       the same for the window's progress
//                                       bar: range=, pos=, shown=
//   tree      DIALOG                    the items of a dialog's tree view
//   treeselect DIALOG PART...           expand and select the tree item whose
//                                       labels contain each PART in turn
//   hold      PATH [--seconds N]        open PATH with no sharing; print
//                                       "held", keep it until stdin ends or
//                                       N seconds pass
//   shortcut  PATH                      load a shell link back through
//                                       IShellLinkA: target=, args=,
//                                       workdir=, description=
//   folder    CSIDL                     the special folder's path (path=)
//   module    PID NAME                  the module NAME loaded in process PID:
//                                       its path= and the DLL name its loaded
//                                       image's export table gives (exports=),
//                                       which tells our library from another
//                                       of the same file name
// Filters: --class C, --title T, --text T (a child's text contains T),
// --exclude HWND (may repeat), --visible.

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const DWORD kDefaultTimeoutMs = 15000;
const DWORD kPollMs = 50;

std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Reads the text of a window of any process: WM_GETTEXT is marshalled across
// processes, and the time-out keeps a hung target from hanging the driver.
std::string windowText(HWND hwnd) {
  char buffer[1024] = {0};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 2000, &copied)) {
    GetWindowTextA(hwnd, buffer, sizeof(buffer));
  }
  buffer[sizeof(buffer) - 1] = 0;
  return buffer;
}

std::string className(HWND hwnd) {
  char buffer[256] = {0};
  GetClassNameA(hwnd, buffer, sizeof(buffer));
  return buffer;
}

unsigned long parseNumber(const char* text) {
  return strtoul(text, nullptr, 0);
}

HWND parseHandle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(parseNumber(text)));
}

// Window rectangle in screen coordinates: x=, y=, w=, h=.
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

void printWindow(HWND hwnd) {
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
  HWND owner = GetWindow(hwnd, GW_OWNER);
  printf(
      "hwnd=0x%lx\tpid=%lu\ttid=%lu\tclass=%s\tvisible=%d\tuserdata=0x%08lx\towner=0x%lx\t%s\t"
      "title=%s\n",
      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)), pid, tid,
      escape(className(hwnd)).c_str(), IsWindowVisible(hwnd) ? 1 : 0,
      static_cast<unsigned long>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)),
      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(owner)),
      rectFields(hwnd, nullptr).c_str(), escape(windowText(hwnd)).c_str());
}

struct Filter {
  std::string windowClass;
  std::string title;
  std::string childText;
  std::vector<HWND> excluded;
  bool visibleOnly = false;
};

struct ChildSearch {
  std::string text;
  int id;  // -1: match by text
  HWND found;
};

// Compares button texts without their mnemonic '&' ("&No" is "No").
std::string withoutMnemonic(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '&')
      out += c;
  }
  return out;
}

BOOL CALLBACK findChild(HWND hwnd, LPARAM param) {
  ChildSearch* search = reinterpret_cast<ChildSearch*>(param);
  bool match = search->id >= 0
                   ? GetDlgCtrlID(hwnd) == search->id
                   : withoutMnemonic(windowText(hwnd)).find(search->text) != std::string::npos;
  if (match) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND findChildControl(HWND parent, const std::string& text, int id) {
  ChildSearch search = {text, id, nullptr};
  EnumChildWindows(parent, findChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool matches(HWND hwnd, const Filter& filter) {
  for (HWND excluded : filter.excluded) {
    if (excluded == hwnd)
      return false;
  }
  if (filter.visibleOnly && !IsWindowVisible(hwnd))
    return false;
  if (!filter.windowClass.empty() && className(hwnd) != filter.windowClass)
    return false;
  if (!filter.title.empty() && windowText(hwnd) != filter.title)
    return false;
  if (!filter.childText.empty() && !findChildControl(hwnd, filter.childText, -1))
    return false;
  return true;
}

struct Collection {
  const Filter* filter;
  std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM param) {
  Collection* collection = reinterpret_cast<Collection*>(param);
  if (matches(hwnd, *collection->filter))
    collection->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> findWindows(const Filter& filter) {
  Collection collection = {&filter, {}};
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&collection));
  return collection.found;
}

// Parses the filters and --timeout from argv[first...]; false on unknown options.
bool parseOptions(int argc, char** argv, int first, Filter* filter, DWORD* timeoutMs) {
  for (int i = first; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--visible") {
      filter->visibleOnly = true;
      continue;
    }
    if (i + 1 >= argc)
      return false;
    const char* value = argv[++i];
    if (option == "--class")
      filter->windowClass = value;
    else if (option == "--title")
      filter->title = value;
    else if (option == "--text")
      filter->childText = value;
    else if (option == "--exclude")
      filter->excluded.push_back(parseHandle(value));
    else if (option == "--timeout" && timeoutMs)
      *timeoutMs = parseNumber(value);
    else
      return false;
  }
  return true;
}

int listWindows(const Filter& filter, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    std::vector<HWND> found = findWindows(filter);
    if (!found.empty()) {
      for (HWND hwnd : found)
        printWindow(hwnd);
      return 0;
    }
    if (GetTickCount() - start >= timeoutMs)
      break;
    Sleep(kPollMs);
  }
  printf("timeout\n");
  return 1;
}

int waitGone(HWND hwnd, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(hwnd)) {
    if (GetTickCount() - start >= timeoutMs) {
      printf("timeout\n");
      return 1;
    }
    Sleep(kPollMs);
  }
  printf("gone\n");
  return 0;
}

// Children are listed with their rectangles in the parent's client area.
BOOL CALLBACK printChild(HWND hwnd, LPARAM parent) {
  printf("hwnd=0x%lx\tid=%d\tclass=%s\tvisible=%d\t%s\ttext=%s\n",
         static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)), GetDlgCtrlID(hwnd),
         escape(className(hwnd)).c_str(), IsWindowVisible(hwnd) ? 1 : 0,
         rectFields(hwnd, reinterpret_cast<HWND>(parent)).c_str(),
         escape(windowText(hwnd)).c_str());
  return TRUE;
}

// A button is pressed the way a dialog sees a click: WM_COMMAND with
// BN_CLICKED from that control. Posting keeps the driver from blocking in the
// target's modal loop.
int pressButton(HWND dialog, int id, const std::string& text) {
  HWND button = findChildControl(dialog, text, id);
  if (!button) {
    printf("no such control\n");
    return 1;
  }
  int controlId = GetDlgCtrlID(button);
  if (!PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                    reinterpret_cast<LPARAM>(button))) {
    printf("post failed %lu\n", GetLastError());
    return 1;
  }
  printf("pressed id=%d\n", controlId);
  return 0;
}

int holdFile(const char* path, DWORD seconds) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    printf("open failed %lu\n", GetLastError());
    return 1;
  }
  printf("held\n");
  fflush(stdout);
  // Ends early when the test closes our standard input.
  DWORD start = GetTickCount();
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char byte;
  DWORD read = 0;
  while (GetTickCount() - start < seconds * 1000) {
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
      Sleep(kPollMs);
      continue;
    }
    if (!ReadFile(input, &byte, 1, &read, nullptr) || read == 0)
      break;
  }
  CloseHandle(file);
  printf("released\n");
  return 0;
}

// The whole text of a window of another process: WM_GETTEXT is marshalled
// with its buffer size, so any length can be read.
int printText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    printf("no answer\n");
    return 1;
  }
  std::vector<char> buffer(length + 2, '\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  buffer.back() = '\0';
  printf("length=%lu\ttext=%s\n", static_cast<unsigned long>(copied),
         escape(buffer.data()).c_str());
  return 0;
}

// Types into an edit control of another process: one WM_CHAR per character,
// each sent (not posted) so the text is in place when the command ends.
int typeText(HWND hwnd, const char* text) {
  for (const char* c = text; *c; ++c) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, WM_CHAR, static_cast<unsigned char>(*c), 1, SMTO_ABORTIFHUNG,
                             5000, &result)) {
      printf("no answer\n");
      return 1;
    }
  }
  printf("typed=%u\n", static_cast<unsigned>(strlen(text)));
  return 0;
}

int hitTest(HWND hwnd, int x, int y) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 5000,
                           &result)) {
    printf("no answer\n");
    return 1;
  }
  printf("hit=%ld\n", static_cast<long>(result));
  return 0;
}

int resizeWindow(HWND hwnd, int width, int height) {
  BOOL done =
      SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Sleep(200);
  printf("done=%d\t%s\n", done ? 1 : 0, rectFields(hwnd, nullptr).c_str());
  return 0;
}

// The painted status line's font: 9-point bold Arial on the screen.
int textWidth(const char* text) {
  HDC screen = GetDC(nullptr);
  LOGFONTA logFont = {};
  lstrcpyA(logFont.lfFaceName, "Arial");
  logFont.lfWeight = FW_BOLD;
  logFont.lfHeight = -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72);
  logFont.lfCharSet = DEFAULT_CHARSET;
  HFONT font = CreateFontIndirectA(&logFont);
  HGDIOBJ previous = SelectObject(screen, font);
  SIZE size = {};
  GetTextExtentPoint32A(screen, text, lstrlenA(text), &size);
  SelectObject(screen, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
  printf("width=%ld\theight=%ld\n", size.cx, size.cy);
  return 0;
}

// Tree view items of another process: the item structure and its text
// buffer must live in that process, so they are placed there.
class RemoteTree {
 public:
  explicit RemoteTree(HWND tree) : m_tree(tree) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (m_process)
      m_memory =
          static_cast<char*>(VirtualAllocEx(m_process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  }
  ~RemoteTree() {
    if (m_memory)
      VirtualFreeEx(m_process, m_memory, 0, MEM_RELEASE);
    if (m_process)
      CloseHandle(m_process);
  }
  bool ready() const { return m_memory != nullptr; }

  std::string label(HTREEITEM item) {
    TVITEMA data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = m_memory + 512;
    data.cchTextMax = 1024;
    SIZE_T done = 0;
    char text[1024] = "";
    if (!WriteProcessMemory(m_process, m_memory, &data, sizeof data, &done) ||
        !SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(m_memory)) ||
        !ReadProcessMemory(m_process, m_memory + 512, text, sizeof text - 1, &done))
      return "";
    return text;
  }

  HTREEITEM next(HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(m_tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  }

 private:
  HWND m_tree;
  HANDLE m_process = nullptr;
  char* m_memory = nullptr;
};

BOOL CALLBACK findTreeChild(HWND hwnd, LPARAM param) {
  if (className(hwnd) != WC_TREEVIEWA)
    return TRUE;
  *reinterpret_cast<HWND*>(param) = hwnd;
  return FALSE;
}

HWND findTree(HWND dialog) {
  HWND found = nullptr;
  EnumChildWindows(dialog, findTreeChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

void printTree(RemoteTree& tree, HTREEITEM item, int depth) {
  for (; item; item = tree.next(item, TVGN_NEXT)) {
    printf("depth=%d\titem=0x%lx\ttext=%s\n", depth,
           static_cast<unsigned long>(reinterpret_cast<uintptr_t>(item)),
           escape(tree.label(item)).c_str());
    printTree(tree, tree.next(item, TVGN_CHILD), depth + 1);
  }
}

int treeCommand(HWND dialog, int partCount, char** parts) {
  HWND treeWindow = findTree(dialog);
  if (!treeWindow) {
    printf("no tree\n");
    return 1;
  }
  RemoteTree tree(treeWindow);
  if (!tree.ready()) {
    printf("no access\n");
    return 1;
  }
  if (partCount == 0) {
    printTree(tree, tree.next(nullptr, TVGN_ROOT), 0);
    return 0;
  }
  HTREEITEM level = tree.next(nullptr, TVGN_ROOT);
  HTREEITEM chosen = nullptr;
  for (int i = 0; i < partCount; ++i) {
    chosen = nullptr;
    for (HTREEITEM item = level; item; item = tree.next(item, TVGN_NEXT)) {
      if (tree.label(item).find(parts[i]) != std::string::npos) {
        chosen = item;
        break;
      }
    }
    if (!chosen) {
      printf("no item %s\n", parts[i]);
      return 1;
    }
    if (i + 1 < partCount) {
      SendMessageA(treeWindow, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(chosen));
      level = tree.next(chosen, TVGN_CHILD);
    }
  }
  // Selecting sends the dialog the same notification a click does.
  SendMessageA(treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chosen));
  printf("selected=%s\n", escape(tree.label(chosen)).c_str());
  return 0;
}

// Follows one child's WS_VISIBLE style bit (not IsWindowVisible, which is
// false for every child of a hidden window) at a fine interval, for states
// that last only a moment before the window closes.
// Waits for a matching top-level window, then prints every change of what
// sample() reads from it until the window is destroyed ("gone").
template <typename Sample>
int watchWindow(const Filter& filter, DWORD timeoutMs, Sample sample) {
  DWORD start = GetTickCount();
  HWND window = nullptr;
  while (!window) {
    std::vector<HWND> found = findWindows(filter);
    if (!found.empty()) {
      window = found[0];
      break;
    }
    if (GetTickCount() - start >= timeoutMs) {
      printf("timeout\n");
      return 1;
    }
    Sleep(5);
  }
  std::string last;
  while (IsWindow(window)) {
    std::string now = sample(window);
    if (now != last) {
      printf("%s\tms=%lu\n", now.c_str(), GetTickCount() - start);
      last = now;
    }
    if (GetTickCount() - start >= timeoutMs) {
      printf("timeout\n");
      return 1;
    }
    Sleep(1);
  }
  printf("gone\n");
  return 0;
}

// The child ID's own WS_VISIBLE flag (-1: no such child).
int watchStyle(int id, const Filter& filter, DWORD timeoutMs) {
  return watchWindow(filter, timeoutMs, [id](HWND window) {
    HWND child = GetDlgItem(window, id);
    int shown = child ? ((GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) ? 1 : 0) : -1;
    return "shown=" + std::to_string(shown);
  });
}

// The progress bar's WS_VISIBLE flag, range (upper limit) and position. The
// flag is read first: the program shows the bar only after setting its
// range, so a shown bar's range is never one from before. A bar that goes
// away or does not answer reads as absent (-1).
int watchProgress(const Filter& filter, DWORD timeoutMs) {
  return watchWindow(filter, timeoutMs, [](HWND window) {
    HWND bar = FindWindowExA(window, nullptr, PROGRESS_CLASSA, nullptr);
    int shown = bar ? ((GetWindowLongA(bar, GWL_STYLE) & WS_VISIBLE) ? 1 : 0) : -1;
    DWORD_PTR range = 0, position = 0;
    if (shown < 0 ||
        !SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 1000, &range) ||
        !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position) ||
        !IsWindow(bar))
      return std::string("shown=-1");
    return "shown=" + std::to_string(shown) + "\trange=" + std::to_string(range) +
           "\tpos=" + std::to_string(position);
  });
}

// A .lnk as the shell reads it: what the user's click would start.
int printShortcut(const char* path) {
  if (FAILED(CoInitialize(nullptr)))
    return 1;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    printf("no shell link object\n");
    return 1;
  }
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
    printf("target=%s\targs=%s\tworkdir=%s\tdescription=%s\n", escape(target).c_str(),
           escape(args).c_str(), escape(folder).c_str(), escape(description).c_str());
    code = 0;
  } else {
    printf("not loaded\n");
  }
  if (file)
    file->Release();
  link->Release();
  return code;
}

// Reads size bytes at address in process into out.
bool readRemote(HANDLE process, const BYTE* address, void* out, SIZE_T size) {
  SIZE_T done = 0;
  return ReadProcessMemory(process, address, out, size, &done) && done == size;
}

int printModule(DWORD pid, const char* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snapshot == INVALID_HANDLE_VALUE) {
    printf("no snapshot %lu\n", GetLastError());
    return 1;
  }
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
    found = lstrcmpiA(entry.szModule, name) == 0;
    if (found)
      break;
  }
  CloseHandle(snapshot);
  if (!found) {
    printf("not loaded\n");
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid);
  const BYTE* base = entry.modBaseAddr;
  IMAGE_DOS_HEADER dos = {};
  IMAGE_NT_HEADERS nt = {};
  char exportName[MAX_PATH] = "";
  if (process && readRemote(process, base, &dos, sizeof dos) &&
      readRemote(process, base + dos.e_lfanew, &nt, sizeof nt)) {
    const IMAGE_DATA_DIRECTORY& directory =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    IMAGE_EXPORT_DIRECTORY exports = {};
    // One byte at a time: the name may end just before the image does.
    if (directory.VirtualAddress &&
        readRemote(process, base + directory.VirtualAddress, &exports, sizeof exports)) {
      for (size_t i = 0; i + 1 < sizeof exportName; ++i) {
        if (!readRemote(process, base + exports.Name + i, &exportName[i], 1) || !exportName[i])
          break;
      }
    }
  }
  if (process)
    CloseHandle(process);
  printf("path=%s\texports=%s\n", escape(entry.szExePath).c_str(), escape(exportName).c_str());
  return 0;
}

int printFolder(int csidl) {
  char path[MAX_PATH] = "";
  if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE))
    return 1;
  printf("path=%s\n", escape(path).c_str());
  return 0;
}

int usage() {
  fprintf(stderr,
          "usage: ui_driver windows|wait [--class C] [--title T] [--text T] [--exclude H] "
          "[--visible] [--timeout ms]\n"
          "       ui_driver gone HWND [--timeout ms] | children HWND | foreground | osversion\n"
          "       ui_driver press HWND (--id N | --text T) | post HWND MSG WPARAM LPARAM\n"
          "       ui_driver hold PATH [--seconds N]\n"
          "       ui_driver text HWND | type HWND TEXT | hittest HWND X Y | resize HWND W H | "
          "textwidth TEXT\n"
          "       ui_driver tree DIALOG | treeselect DIALOG PART...\n"
          "       ui_driver watchstyle ID [filters] [--timeout ms]\n"
          "       ui_driver watchprogress [filters] [--timeout ms]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2)
    return usage();
  std::string command = argv[1];
  Filter filter;
  DWORD timeoutMs = kDefaultTimeoutMs;

  if (command == "windows" || command == "wait") {
    if (!parseOptions(argc, argv, 2, &filter, command == "wait" ? &timeoutMs : nullptr))
      return usage();
    return listWindows(filter, command == "wait" ? timeoutMs : 0);
  }
  if (command == "gone" && argc >= 3) {
    if (!parseOptions(argc, argv, 3, &filter, &timeoutMs))
      return usage();
    return waitGone(parseHandle(argv[2]), timeoutMs);
  }
  if (command == "children" && argc == 3) {
    HWND parent = parseHandle(argv[2]);
    EnumChildWindows(parent, printChild, reinterpret_cast<LPARAM>(parent));
    return 0;
  }
  if (command == "press" && argc == 5) {
    std::string option = argv[3];
    if (option == "--id")
      return pressButton(parseHandle(argv[2]), static_cast<int>(parseNumber(argv[4])), "");
    if (option == "--text")
      return pressButton(parseHandle(argv[2]), -1, argv[4]);
    return usage();
  }
  if (command == "post" && argc == 6) {
    if (!PostMessageA(parseHandle(argv[2]), parseNumber(argv[3]), parseNumber(argv[4]),
                      static_cast<LPARAM>(parseNumber(argv[5])))) {
      printf("post failed %lu\n", GetLastError());
      return 1;
    }
    printf("posted\n");
    return 0;
  }
  if (command == "foreground" && argc == 2) {
    HWND hwnd = GetForegroundWindow();
    if (!hwnd) {
      printf("none\n");
      return 1;
    }
    printWindow(hwnd);
    return 0;
  }
  if (command == "osversion" && argc == 2) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
      return 1;
    printf("platform=%lu\tmajor=%lu\tminor=%lu\tbuild=%lu\tcsd=%s\n", info.dwPlatformId,
           info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber & 0xFFFF,
           escape(info.szCSDVersion).c_str());
    return 0;
  }
  if (command == "text" && argc == 3)
    return printText(parseHandle(argv[2]));
  if (command == "type" && argc == 4)
    return typeText(parseHandle(argv[2]), argv[3]);
  if (command == "hittest" && argc == 5)
    return hitTest(parseHandle(argv[2]), atoi(argv[3]), atoi(argv[4]));
  if (command == "resize" && argc == 5)
    return resizeWindow(parseHandle(argv[2]), atoi(argv[3]), atoi(argv[4]));
  if (command == "watchstyle" && argc >= 3) {
    if (!parseOptions(argc, argv, 3, &filter, &timeoutMs))
      return usage();
    return watchStyle(static_cast<int>(parseNumber(argv[2])), filter, timeoutMs);
  }
  if (command == "watchprogress") {
    if (!parseOptions(argc, argv, 2, &filter, &timeoutMs))
      return usage();
    return watchProgress(filter, timeoutMs);
  }
  if (command == "screen" && argc == 2) {
    RECT screen = {};
    GetClientRect(GetDesktopWindow(), &screen);
    printf("w=%ld\th=%ld\n", screen.right, screen.bottom);
    return 0;
  }
  if (command == "textwidth" && argc == 3)
    return textWidth(argv[2]);
  if ((command == "tree" && argc == 3) || (command == "treeselect" && argc >= 4))
    return treeCommand(parseHandle(argv[2]), argc - 3, argv + 3);
  if (command == "shortcut" && argc == 3)
    return printShortcut(argv[2]);
  if (command == "module" && argc == 4)
    return printModule(parseNumber(argv[2]), argv[3]);
  if (command == "folder" && argc == 3)
    return printFolder(static_cast<int>(parseNumber(argv[2])));
  if (command == "hold" && (argc == 3 || argc == 5)) {
    DWORD seconds = 60;
    if (argc == 5) {
      if (std::string(argv[3]) != "--seconds")
        return usage();
      seconds = parseNumber(argv[4]);
    }
    return holdFile(argv[2], seconds);
  }
  return usage();
}
