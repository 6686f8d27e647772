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

namespace {

class OneAnswerServer {
 public:
  explicit OneAnswerServer(std::vector<std::string> responses) : m_responses(std::move(responses)) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/product.txt";
    listen(m_listener, 1);
    m_thread = std::thread([this] {
      for (const std::string& response : m_responses) {
        SOCKET client = accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
          return;
        std::string request;
        char chunk[1024];
        int got;
        while (request.find("\r\n\r\n") == std::string::npos &&
               (got = recv(client, chunk, sizeof chunk, 0)) > 0)
          request.append(chunk, got);
        requests.push_back(request);
        send(client, response.data(), int(response.size()), 0);
        shutdown(client, SD_BOTH);
        closesocket(client);
      }
    });
  }
  ~OneAnswerServer() {
    closesocket(m_listener);  // ends an accept that never got a client
    m_thread.join();
    WSACleanup();
  }
  std::string url;
  std::vector<std::string> requests;  // read once the client is done

 private:
  std::vector<std::string> m_responses;
  SOCKET m_listener = INVALID_SOCKET;
  std::thread m_thread;
};

std::string answer(const char* status, const std::string& body) {
  return std::string("HTTP/1.0 ") + status + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

TEST(DownloadWorker, ResumesThatBringNothingEndInAFailedDownload) {
  // 1000 of 5000 bytes, then every range refused: one request and twelve
  // resumes, then WM_DOWNLOAD_FINISHED 0 and no temporary file written.
  std::vector<std::string> answers(14, answer("416 Range Not Satisfiable", ""));
  answers.insert(answers.begin(),
                 "HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(1000, 'x'));
  OneAnswerServer server(answers);
  FileDescriptor file = {};
  strcpy(file.szUrl, server.url.c_str());
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
  MSG message = {};
  ASSERT_TRUE(
      PeekMessageA(&message, g_hMainWnd, WM_DOWNLOAD_FINISHED, WM_DOWNLOAD_FINISHED, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(server.requests.size(), 13u);
  EXPECT_NE(server.requests.back().find("Range: bytes=1000-"), std::string::npos);
  EXPECT_NE(strstr(logText(), "12 resumes in a row brought nothing; giving up"), nullptr)
      << logText();
  EXPECT_EQ(GetFileAttributesA(g_szTempFile), INVALID_FILE_ATTRIBUTES);
  DestroyWindow(g_hMainWnd);
  g_hMainWnd = nullptr;
  g_pxDownloadFile = g_pxShownFile = nullptr;
  free(g_pDownloadBuffer);
  g_pDownloadBuffer = nullptr;
}
