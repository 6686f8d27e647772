// Opens a received bug report body: the form field DATA, form decoding,
// Base64, inflate, Rijndael-256 decryption with the report key, and removal
// of the zero padding. Every step checks its input: bodies come from the
// network and may be anything.
#pragma once

#include <cstddef>
#include <string>

// Largest report the decoder inflates; reports of the program stay far below.
const size_t kMaxInflatedReport = 16u << 20;

// "%XY" (either case) becomes the byte, "+" a blank. False on a bad escape.
bool formDecode(const std::string& text, std::string* out);

enum Base64Result {
  BASE64_OK,
  BASE64_BAD_LENGTH,        // not a multiple of four characters
  BASE64_BAD_CHARACTER,     // outside the alphabet
  BASE64_MISPLACED_PADDING  // "=" anywhere but the last one or two places
};

// Standard alphabet with "=" padding; a blank is read as "+" (a sender that
// left "+" unescaped).
Base64Result base64Decode(const std::string& text, std::string* out);

// The whole zlib stream; false when it is damaged, cut short or inflates to
// more than limit bytes.
bool inflateAll(const std::string& packed, size_t limit, std::string* out);

// Decodes a body ("DATA=..." possibly among other fields, trailing line
// breaks ignored) into the report text. On false, *error says which step
// failed. A sealed report of zero padding only decodes to the empty text.
bool decodeReportBody(const std::string& body, std::string* report, std::string* error);

// Whether a decoded text opens with the report's first section head. Text
// that does not was likely not sealed by this program.
bool looksLikeSystemReport(const std::string& report);

// The program's own crash log, as its crash filter writes "quenzar.log":
// whole 32-byte blocks enciphered with the report key, the plain text being
// the log, one zero byte and zero padding. False when cipher is not such a
// file (empty, not whole blocks, or not text followed only by zeros once
// deciphered, as the game client's own log of that name would be).
bool decipherProgramLog(const std::string& cipher, std::string* text);

enum LogSectionResult {
  LOG_SECTION_DECIPHERED,  // *out is the report with the section as text
  LOG_SECTION_MISSING,     // the report carries no whole "quenzar.log" section
  LOG_SECTION_NOT_OURS,    // the section is there but not the program's log
};

// Finds the report's last section, "LOG Contents (N bytes)" with its N raw
// bytes ending the report, and writes to *out the report with those bytes
// replaced by the deciphered log text (under a line saying so).
LogSectionResult decipherLogSection(const std::string& report, std::string* out);
