// Decisions of the download worker that depend on bytes and texts alone: what
// a resumed request's answer means, whether a compressed download is whole,
// and what the maintenance page says.
#pragma once

#include <cstddef>
#include <cstdint>

// What to do with the answer to a request resumed after received bytes of a
// file of expected bytes.
enum ResumeAnswer {
  RESUME_APPEND,   // 206 whose Content-Range starts at received: append
  RESUME_RESTART,  // 200: the whole file again; drop what arrived and start over
  RESUME_BREAK,    // anything else: count it as another break and resume again
};

// status is the status code text, contentRange the Content-Range header's
// value ("" when absent), e.g. "bytes 1000-4999/5000". A 206 is appended only
// when its first byte is received and, when it names a total, the total is
// expected; nothing is ever appended at another offset.
ResumeAnswer judgeResumeAnswer(const char* status,
                               const char* contentRange,
                               uint32_t received,
                               uint32_t expected);

// Resumes in a row that may bring no new byte before a download gives up:
// with the pause before each, about a minute of a server that is gone or
// refuses every range.
constexpr unsigned kMaxIdleResumes = 12;

// Whether a transfer that broke off is worth resuming. Called at every break
// with the bytes received so far; a resume counts as idle when the transfer
// that followed it ended without passing the most bytes ever received (a
// server that sends the whole file again and breaks at the same place, or
// earlier, gains nothing). False once kMaxIdleResumes resumes in a row were
// idle.
struct ResumeProgress {
  unsigned idle = 0;          // idle resumes in a row so far
  uint32_t mostReceived = 0;  // the most bytes received at any break
  bool resumed = false;       // a resume has been made
};
bool resumeWorthTrying(ResumeProgress* progress, uint32_t received);

// Inflates a zlib stream of sourceLength bytes into out, which holds
// outSize bytes. True only when the stream is whole and inflates to exactly
// expected bytes (expected <= outSize).
bool inflateExactly(const unsigned char* source,
                    size_t sourceLength,
                    unsigned char* out,
                    size_t outSize,
                    size_t expected);

// Whether the maintenance page's body lets the client start: an empty body
// does (nothing was said), otherwise only a body holding "OK" (case matters).
bool statusBodyAllowsStart(const char* body, size_t length);
