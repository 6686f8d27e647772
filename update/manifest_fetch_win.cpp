#include "update/manifest_fetch.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>

#include "app/bounded_text.h"
#include "app/log.h"
#include "update/internet_handle.h"
#include "update/manifest.h"

namespace {

const DWORD kReadChunk = 1024;

// Received body: grows by doubling, freed by its owner.
class BodyBuffer {
 public:
  BodyBuffer() = default;
  BodyBuffer(const BodyBuffer&) = delete;
  BodyBuffer& operator=(const BodyBuffer&) = delete;
  ~BodyBuffer() { free(m_data); }

  // Room for count more bytes after the received ones; null when out of
  // memory or beyond the body limit.
  char* reserve(size_t count) {
    if (count > kMaxManifestBody - m_length)
      return nullptr;
    if (m_length + count > m_capacity) {
      size_t capacity = m_capacity ? m_capacity * 2 : 16 * kReadChunk;
      while (capacity < m_length + count)
        capacity *= 2;
      char* grown = static_cast<char*>(realloc(m_data, capacity));
      if (!grown)
        return nullptr;
      m_data = grown;
      m_capacity = capacity;
    }
    return m_data + m_length;
  }
  void commit(size_t count) { m_length += count; }
  const char* data() const { return m_data; }
  size_t length() const { return m_length; }

 private:
  char* m_data = nullptr;
  size_t m_length = 0;
  size_t m_capacity = 0;
};

}  // namespace

int fetchManifest(const char* url) {
  freeFileDescriptorList();
  if (InternetAttemptConnect(0) != ERROR_SUCCESS)
    return MANIFEST_FAILED;
  ScopedInternetHandle internet(
      InternetOpenA("IE", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet.valid())
    return MANIFEST_FAILED;
  // No cache: a proxy or the system cache must never hand back last week's
  // manifest. No redirects: the manifest is where the build says it is.
  ScopedInternetHandle request(InternetOpenUrlA(
      internet.get(), url, nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT, 0));
  if (!request.valid()) {
    logMessage(LOG_FAIL, "Connection failure, retry");
    return MANIFEST_REQUEST_FAILED;
  }
  char status[128] = {};
  DWORD statusLength = sizeof status - 1;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE, status, &statusLength, nullptr) ||
      !equalsIgnoreCase(status, "200"))
    return MANIFEST_BAD_STATUS;

  BodyBuffer body;
  for (;;) {
    char* room = body.reserve(kReadChunk);
    if (!room) {
      logMessage(LOG_FAIL, "fetchManifest: body larger than %u bytes or out of memory",
                 static_cast<unsigned>(kMaxManifestBody));
      return MANIFEST_FAILED;
    }
    DWORD got = 0;
    BOOL read = InternetReadFile(request.get(), room, kReadChunk, &got);
    body.commit(got);  // bytes of a failing read that did arrive are kept
    if (!read || got == 0)
      break;
  }
  request.reset();
  return parseManifest(body.data(), body.length());
}
