// The download worker through Wine's WinINet against a server on the loopback
// interface that gives one canned answer per connection, in order. The
// manifest fetch's answers are the update scenario's.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/log.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "update/download_state.h"
#include "update/download_worker.h"
#include "update/manifest.h"

TEST(DownloadWorker, ResumesThatBringNothingEndInAFailedDownload) {
  // 1000 of 5000 bytes, then every range refused: one request and twelve
  // resumes, then WM_DOWNLOAD_FINISHED 0 and no temporary file written.
  std::vector<std::string> answers(
      14, "HTTP/1.0 416 Range Not Satisfiable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  answers[0] = "HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(1000, 'x');
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  listen(listener, 1);
  std::vector<std::string> requests;  // read once the worker is done
  std::thread server([&] {
    for (const std::string& answer : answers) {
      SOCKET client = accept(listener, nullptr, nullptr);
      if (client == INVALID_SOCKET)
        return;
      std::string request;
      char chunk[1024];
      int got;
      while (request.find("\r\n\r\n") == std::string::npos &&
             (got = recv(client, chunk, sizeof chunk, 0)) > 0)
        request.append(chunk, got);
      requests.push_back(request);
      send(client, answer.data(), int(answer.size()), 0);
      shutdown(client, SD_BOTH);
      closesocket(client);
    }
  });
  FileDescriptor file = {};
  snprintf(file.szUrl, sizeof file.szUrl, "http://127.0.0.1:%u/big.bin", ntohs(address.sin_port));
  strcpy(file.szBaseName, "big.bin");
  file.nFileSize = 5000;
  g_pxDownloadFile = g_pxShownFile = &file;
  g_nDownloadSize = 5000;
  GetTempPathA(MAX_PATH, g_szTempFile);
  strcat(g_szTempFile, "velorin_worker_test.tmp");
  DeleteFileA(g_szTempFile);
  g_hMainWnd =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  setResumePauseForTesting(0);
  clearLog();
  EXPECT_EQ(ThreadFunc(nullptr), 1u);
  setResumePauseForTesting(5000);
  closesocket(listener);  // ends an accept that never got a client
  server.join();
  WSACleanup();
  MSG message = {};
  ASSERT_TRUE(
      PeekMessageA(&message, g_hMainWnd, WM_DOWNLOAD_FINISHED, WM_DOWNLOAD_FINISHED, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(requests.size(), 13u);
  EXPECT_NE(requests.back().find("Range: bytes=1000-"), std::string::npos);
  EXPECT_NE(strstr(logText(), "12 resumes in a row brought nothing; giving up"), nullptr)
      << logText();
  EXPECT_EQ(GetFileAttributesA(g_szTempFile), INVALID_FILE_ATTRIBUTES);
  DestroyWindow(g_hMainWnd);
  g_hMainWnd = nullptr;
  g_pxDownloadFile = g_pxShownFile = nullptr;
  free(g_pDownloadBuffer);
  g_pDownloadBuffer = nullptr;
}
