// Received bug report bodies come from the network: the service-side decoder
// must refuse anything malformed without reading or writing out of bounds.
// The crash-log path of the tool (--log) reads the decoded report and the
// raw input alike: it must find, decipher or refuse a "quenzar.log" section
// in any bytes, and a log it deciphers must seal back to the same bytes.
// The decoder belongs to the velorin-report tool, not to the portable
// library this target is built from, so its two sources are compiled in here.
#include <cstddef>
#include <cstdint>
#include <string>

#include "report/report_body.h"
#include "report/report_cipher.h"

#include "tools/velorin-report/report_decoder.cpp"
#include "tools/velorin-report/rijndael_decipher.cpp"

namespace {

void checkLogSection(const std::string& report) {
  std::string out;
  if (decipherLogSection(report, &out) != LOG_SECTION_DECIPHERED)
    return;
  // The text came from whole blocks at the end: sealing it again with its
  // terminator gives those blocks back.
  const std::string marker = "bytes of text]\r\n";
  size_t at = out.rfind(marker);
  if (at == std::string::npos)
    __builtin_trap();
  std::string text = out.substr(at + marker.size());
  text.push_back('\0');
  size_t length = 0;
  uint8_t* sealed = encryptReport(text.data(), text.size(), &length);
  if (!sealed || length > report.size() ||
      report.compare(report.size() - length, length, reinterpret_cast<const char*>(sealed),
                     length) != 0)
    __builtin_trap();
  delete[] sealed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  checkLogSection(body);
  std::string report, error;
  if (decodeReportBody(body, &report, &error)) {
    // Whatever decodes, sealed again by the program's own body code, decodes
    // to the same bytes: the decoder's padding rule matches the sender's.
    std::string again, reread;
    if (!buildBugReportBody(report.data(), report.size(), &again) ||
        !decodeReportBody(again, &reread, &error) || reread != report)
      __builtin_trap();
    checkLogSection(report);
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
