// Received bodies come from the network: the decoder and the tool's --log
// path refuse anything malformed within bounds; what they accept seals back
// to the same bytes.
#include <cstdint>
#include <string>

#include "report/body_buffer.h"
#include "report/report_cipher.h"
#include "tests/fuzz/fuzz_check.h"
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
  require(at != std::string::npos);
  std::string text = out.substr(at + marker.size());
  text.push_back('\0');
  size_t length = 0;
  uint8_t* sealed = encryptReport(text.data(), text.size(), &length);
  require(sealed && length <= report.size() &&
          report.compare(report.size() - length, length, reinterpret_cast<const char*>(sealed),
                         length) == 0);
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
    require(
        again &&
        decodeReportBody(std::string(reinterpret_cast<char*>(again), length), &reread, &error) &&
        reread == report);
    delete[] again;
    checkLogSection(report);
  } else {
    require(!error.empty());
  }
  return 0;
}
