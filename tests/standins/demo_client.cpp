// demo_client: the game client as far as the stub can tell. A small program
// with a window of its own (class "QuenzarDemoClient") that
//  - appends one line to a record file: pid=, cwd= and cmdline= as
//    tab-separated fields (the file named by DEMO_CLIENT_RECORD, else
//    "demo_client.txt" in its current folder);
//  - holds the files named in DEMO_CLIENT_HOLD (";"-separated) open without
//    sharing while it runs;
//  - stays until its window is closed, or ends at once when DEMO_CLIENT_MODE
//    is "end";
//  - crashes, as far as the stub can tell, when DEMO_CLIENT_CRASH names a
//    folder: it leaves the crash files found there ("quenzar.usg",
//    "core.dbg", "quenzar.log") and the data file "user.dat" in its current
//    folder, byte for byte, and ends at once with the exit code of an access
//    violation (no window, no system error box).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string environment(const char* name) {
  char value[2048] = "";
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return (length && length < sizeof value) ? std::string(value) : std::string();
}

void writeRecord() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  std::string path = environment("DEMO_CLIENT_RECORD");
  if (path.empty())
    path = "demo_client.txt";
  FILE* file = fopen(path.c_str(), "ab");
  if (!file)
    return;
  fprintf(file, "pid=%lu\tcwd=%s\tcmdline=%s\n", GetCurrentProcessId(), folder, GetCommandLineA());
  fclose(file);
}

std::vector<HANDLE> holdFiles() {
  std::vector<HANDLE> held;
  std::string list = environment("DEMO_CLIENT_HOLD");
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos)
      end = list.size();
    std::string name = list.substr(start, end - start);
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
      held.push_back(file);
    start = end + 1;
  }
  return held;
}

// The files a crashing client leaves behind in its folder.
const char* const kCrashFiles[] = {"quenzar.usg", "core.dbg", "quenzar.log", "user.dat"};

void leaveCrashFiles(const std::string& source) {
  for (const char* name : kCrashFiles) {
    std::string from = source + "\\" + name;
    if (GetFileAttributesA(from.c_str()) != INVALID_FILE_ATTRIBUTES)
      CopyFileA(from.c_str(), name, FALSE);
  }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  writeRecord();
  std::string crash = environment("DEMO_CLIENT_CRASH");
  if (!crash.empty()) {
    leaveCrashFiles(crash);
    ExitProcess(EXCEPTION_ACCESS_VIOLATION);
  }
  if (environment("DEMO_CLIENT_MODE") == "end")
    return 0;
  std::vector<HANDLE> held = holdFiles();

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "QuenzarDemoClient";
  RegisterClassA(&windowClass);
  HWND window =
      CreateWindowA("QuenzarDemoClient", "Quenzar demo client", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                    CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, nullptr);
  ShowWindow(window, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  for (HANDLE file : held)
    CloseHandle(file);
  return 0;
}
