#include "tools/velorin-report/report_decoder.h"

#include <zlib.h>

#include <cstdint>

#include "report/report_cipher.h"
#include "report/report_sections.h"
#include "tools/velorin-report/rijndael_decipher.h"

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+' || c == ' ')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

// The DATA field of a form body, still form-encoded.
bool findDataField(const std::string& body, std::string* field) {
  size_t end = body.size();
  while (end > 0 && (body[end - 1] == '\n' || body[end - 1] == '\r'))
    --end;
  size_t start = 0;
  while (start <= end) {
    size_t amp = body.find('&', start);
    if (amp == std::string::npos || amp > end)
      amp = end;
    if (body.compare(start, 5, "DATA=") == 0 && amp - start >= 5) {
      *field = body.substr(start + 5, amp - start - 5);
      return true;
    }
    start = amp + 1;
  }
  return false;
}

// The sender pads n bytes with zeros to P = 32 (n <= 32) or 32 * (n / 32 + 1),
// so n lies in [P - 32, P - 1] for P > 64, in [33, 63] for P = 64 and in
// [0, 32] for P = 32. Trailing zeros are padding down to that floor; zeros
// that ended the report itself cannot be told from padding.
size_t unpaddedLength(const std::string& plain) {
  const size_t padded = plain.size();
  const size_t floor = padded == 32 ? 0 : padded == 64 ? 33 : padded - 32;
  size_t n = padded;
  while (n > floor && plain[n - 1] == '\0')
    --n;
  return n;
}

// A report ends with the raw bytes of its last file section, whose head
// gives their count. Zeros that ended those bytes read as padding above; the
// count brings them back, as far as the padded size allows. A report cut at
// its buffer ends with its closing line instead and keeps its length.
size_t lastSectionEnd(const std::string& plain, size_t n) {
  static const char kCount[] = " Contents (";
  static const char kClose[] = " bytes)\r\n------------\r\n";
  static const char kCutEnd[] = " bytes left out]\r\n";
  const size_t cutEnd = sizeof kCutEnd - 1;
  if (n >= cutEnd && plain.compare(n - cutEnd, cutEnd, kCutEnd) == 0)
    return n;
  const size_t close = plain.rfind(kClose, n);
  if (close == std::string::npos || close == 0)
    return n;
  size_t digits = close;
  while (digits > 0 && close - digits < 10 && plain[digits - 1] >= '0' && plain[digits - 1] <= '9')
    --digits;
  const size_t countLength = sizeof kCount - 1;
  if (digits == close || digits < countLength ||
      plain.compare(digits - countLength, countLength, kCount) != 0)
    return n;
  size_t count = 0;
  for (size_t i = digits; i < close; ++i)
    count = count * 10 + static_cast<size_t>(plain[i] - '0');
  const size_t start = close + sizeof kClose - 1;
  if (start > n || count <= n - start || count > plain.size() - start)
    return n;
  const size_t end = start + count;
  return reportCipherLength(end) == plain.size() ? end : n;
}

}  // namespace

bool formDecode(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      *out += ' ';
    } else if (c == '%') {
      if (i + 2 >= text.size())
        return false;
      int high = hexValue(text[i + 1]);
      int low = hexValue(text[i + 2]);
      if (high < 0 || low < 0)
        return false;
      *out += char(high * 16 + low);
      i += 2;
    } else {
      *out += c;
    }
  }
  return true;
}

Base64Result base64Decode(const std::string& text, std::string* out) {
  out->clear();
  if (text.size() % 4 != 0)
    return BASE64_BAD_LENGTH;
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int pad = 0;
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      char c = text[i + k];
      int d = 0;
      if (c == '=') {
        // Padding stands only in the last group: "xx==" or "xxx=".
        if (!last || k < 2 || (k == 2 && text[i + 3] != '='))
          return BASE64_MISPLACED_PADDING;
        ++pad;
      } else {
        d = base64Value(c);
        if (d < 0)
          return BASE64_BAD_CHARACTER;
      }
      v = (v << 6) | uint32_t(d);
    }
    *out += char(v >> 16);
    if (pad < 2)
      *out += char(v >> 8);
    if (pad < 1)
      *out += char(v);
  }
  return BASE64_OK;
}

bool inflateAll(const std::string& packed, size_t limit, std::string* out) {
  out->clear();
  z_stream stream = {};
  if (inflateInit(&stream) != Z_OK)
    return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = uInt(packed.size());
  unsigned char chunk[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = chunk;
    stream.avail_out = sizeof chunk;
    result = inflate(&stream, Z_NO_FLUSH);
    size_t produced = sizeof chunk - stream.avail_out;
    if (out->size() + produced > limit) {
      result = Z_MEM_ERROR;
      break;
    }
    out->append(reinterpret_cast<char*>(chunk), produced);
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END;
}

bool decodeReportBody(const std::string& body, std::string* report, std::string* error) {
  report->clear();
  std::string field, base64, packed, sealed;
  if (!findDataField(body, &field)) {
    *error = "no DATA field in the body";
    return false;
  }
  if (!formDecode(field, &base64)) {
    *error = "bad form encoding";
    return false;
  }
  switch (base64Decode(base64, &packed)) {
    case BASE64_OK:
      break;
    case BASE64_BAD_LENGTH:
      *error = "Base64 text is not a whole number of four-character groups";
      return false;
    case BASE64_BAD_CHARACTER:
      *error = "bad character in the Base64 text";
      return false;
    case BASE64_MISPLACED_PADDING:
      *error = "misplaced \"=\" in the Base64 text";
      return false;
  }
  if (!inflateAll(packed, kMaxInflatedReport, &sealed)) {
    *error = "compressed data is damaged, incomplete or too large";
    return false;
  }
  if (sealed.empty()) {
    *error = "compressed data inflates to nothing: no sealed report inside";
    return false;
  }
  if (sealed.size() % 32 != 0) {
    *error = "sealed report is not a whole number of 32-byte blocks";
    return false;
  }
  RijndaelDecipher decipher;
  decipher.initKey(kReportKey, 32, 32);
  for (size_t pos = 0; pos < sealed.size(); pos += 32)
    decipher.decryptBlock(&sealed[pos], &sealed[pos]);
  sealed.resize(lastSectionEnd(sealed, unpaddedLength(sealed)));
  report->swap(sealed);
  return true;
}

bool looksLikeSystemReport(const std::string& report) {
  return report.compare(0, sizeof kProcessorSectionHead - 1, kProcessorSectionHead) == 0;
}

bool decipherProgramLog(const std::string& cipher, std::string* text) {
  if (cipher.empty() || cipher.size() % 32 != 0)
    return false;
  RijndaelDecipher decipher;
  if (!decipher.initKey(kReportKey, 32, 32))
    return false;
  std::string plain(cipher.size(), '\0');
  for (size_t pos = 0; pos < cipher.size(); pos += 32)
    decipher.decryptBlock(cipher.data() + pos, &plain[pos]);
  const size_t end = plain.find('\0');
  if (end == std::string::npos)
    return false;
  // Only zero padding may follow the terminator, and it must not fill a
  // block beyond the one that holds the terminator.
  if (plain.find_first_not_of('\0', end) != std::string::npos)
    return false;
  if (cipher.size() != reportCipherLength(end + 1))
    return false;
  text->assign(plain, 0, end);
  return true;
}

LogSectionResult decipherLogSection(const std::string& report, std::string* out) {
  static const char kOpen[] = "\r\n\r\n------------\r\nLOG Contents (";
  static const char kClose[] = " bytes)\r\n------------\r\n";
  // The log is the report's last section; its bytes run to the end, so the
  // right head is the one whose count reaches exactly there.
  for (size_t at = report.rfind(kOpen); at != std::string::npos;
       at = at == 0 ? std::string::npos : report.rfind(kOpen, at - 1)) {
    size_t digits = at + sizeof kOpen - 1;
    size_t count = 0;
    size_t pos = digits;
    while (pos < report.size() && pos - digits < 10 && report[pos] >= '0' && report[pos] <= '9')
      count = count * 10 + static_cast<size_t>(report[pos++] - '0');
    if (pos == digits || report.compare(pos, sizeof kClose - 1, kClose) != 0)
      continue;
    const size_t start = pos + sizeof kClose - 1;
    if (report.size() - start != count)
      continue;
    std::string text;
    if (!decipherProgramLog(report.substr(start), &text))
      return LOG_SECTION_NOT_OURS;
    out->assign(report, 0, start);
    out->append("[the program's crash log, deciphered: ");
    out->append(std::to_string(text.size()));
    out->append(" bytes of text]\r\n");
    out->append(text);
    return LOG_SECTION_DECIPHERED;
  }
  return LOG_SECTION_MISSING;
}
