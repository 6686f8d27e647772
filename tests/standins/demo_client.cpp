// demo_client: the game client as the stub sees it, window class
// "QuenzarDemoClient". Appends "pid=\tcwd=\tcmdline=" to DEMO_CLIENT_RECORD
// (else "demo_client.txt"); given a folder in DEMO_CLIENT_CRASH, copies its
// crash files here and ends as an access violation; ends at once when
// DEMO_CLIENT_MODE is "end"; else holds the files in DEMO_CLIENT_HOLD
// (";"-separated) open unshared until its window closes.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

static std::string environment(const char* name) {
  char value[2048] = "";
  return GetEnvironmentVariableA(name, value, sizeof value) < sizeof value ? value : "";
}

static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY)
    PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  std::string record = environment("DEMO_CLIENT_RECORD"), crash = environment("DEMO_CLIENT_CRASH");
  if (FILE* file = fopen(record.empty() ? "demo_client.txt" : record.c_str(), "ab"))
    fprintf(file, "pid=%lu\tcwd=%s\tcmdline=%s\n", GetCurrentProcessId(), folder,
            GetCommandLineA()),
        fclose(file);
  if (!crash.empty()) {
    for (const char* name : {"quenzar.usg", "core.dbg", "quenzar.log", "user.dat"})
      CopyFileA((crash + "\\" + name).c_str(), name, FALSE);
    ExitProcess(EXCEPTION_ACCESS_VIOLATION);
  }
  if (environment("DEMO_CLIENT_MODE") == "end")
    return 0;
  std::vector<HANDLE> held;
  std::string list = environment("DEMO_CLIENT_HOLD") + ";";
  for (size_t start = 0, end; (end = list.find(';', start)) != std::string::npos; start = end + 1)
    if (end > start)
      held.push_back(CreateFileA(list.substr(start, end - start).c_str(),
                                 GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "QuenzarDemoClient";
  RegisterClassA(&windowClass);
  ShowWindow(
      CreateWindowA("QuenzarDemoClient", "Quenzar demo client", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                    CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, nullptr),
      show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0)
    DispatchMessageA(&message);
  for (HANDLE file : held)
    CloseHandle(file);  // INVALID_HANDLE_VALUE for a file that would not open: harmless
  return 0;
}
