// The maintenance check before the client starts, and fire-and-forget
// requests (install tracking).
#pragma once

// False only when the download server's maintenance page answered 200 with a
// body that does not hold "OK"; every failure to ask lets the start go ahead.
// Blocks the calling thread for the request.
bool checkServerStatus();

// Sends a GET for url on a detached thread; the answer is not read. Nothing
// starts for a null or empty url. url must stay valid while the thread runs
// (callers pass global buffers).
void requestUrlAsync(const char* url);
