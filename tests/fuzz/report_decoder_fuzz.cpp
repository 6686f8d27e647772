// Received bodies come from the network: the decoder and the tool's --log
// path refuse anything malformed within bounds; what they accept seals back
// to the same bytes. The tool's two sources are compiled in here.
#include <cstddef>
#include <cstdint>
#include <string>

#include "report/body_buffer.h"
#include "report/report_cipher.h"

#include "tools/velorin-report/report_decoder.cpp"
#include "tools/velorin-report/rijndael_decipher.cpp"

namespace {

void checkLogSection(const std::string& report) {
  std::string out;
  if (decipherLogSection(report, &out) != LOG_SECTION_DECIPHERED)
    return;
  // Sealed again with its terminator, the text gives the report's last blocks.
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
    // The decoder's padding rule matches the sender's.
    size_t length = 0;
    uint8_t* again = buildReportBodyBuffer(report.data(), report.size(), &length);
    std::string reread;
    if (!again ||
        !decodeReportBody(std::string(reinterpret_cast<char*>(again), length), &reread, &error) ||
        reread != report)
      __builtin_trap();
    delete[] again;
    checkLogSection(report);
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
