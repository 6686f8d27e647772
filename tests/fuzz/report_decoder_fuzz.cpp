// Received bug report bodies come from the network: the service-side decoder
// must refuse anything malformed without reading or writing out of bounds.
// The decoder belongs to the velorin-report tool, not to the portable
// library this target is built from, so its two sources are compiled in here.
#include <cstddef>
#include <cstdint>
#include <string>

#include "report/report_body.h"

#include "tools/velorin-report/report_decoder.cpp"
#include "tools/velorin-report/rijndael_decipher.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  std::string report, error;
  if (decodeReportBody(body, &report, &error)) {
    // Whatever decodes, sealed again by the program's own body code, decodes
    // to the same bytes: the decoder's padding rule matches the sender's.
    std::string again, reread;
    if (!buildBugReportBody(report.data(), report.size(), &again) ||
        !decodeReportBody(again, &reread, &error) || reread != report)
      __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
