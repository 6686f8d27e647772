// Appends the system report's text to its fixed buffer and never past it.
// When a piece does not fit, as much of it as fits is written, everything
// after it is counted instead of written, and finish() closes the report with
// a line saying how many bytes were left out. Room for that line is kept
// back from the start, so the text written before the cut keeps its layout.
#pragma once

#include <cstdarg>
#include <cstddef>

// Size of the report buffer.
constexpr size_t kReportBufferSize = 128000;
// Bytes kept back for the closing line of a cut report.
constexpr size_t kReportCutReserve = 64;

class ReportWriter {
 public:
  // buffer holds capacity bytes (capacity > kReportCutReserve + 1).
  ReportWriter(char* buffer, size_t capacity);

  void append(const void* data, size_t length);
  void appendText(const char* text);
  void appendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Counts bytes the report should have held but that were not read at all
  // (a file too large for what is left).
  void leaveOut(size_t length);

  // Bytes that can still be written before the cut.
  size_t room() const { return m_nLimit - m_nLength; }
  bool isCut() const { return m_nLeftOut != 0; }
  size_t leftOut() const { return m_nLeftOut; }
  size_t length() const { return m_nLength; }

  // A section that may take at most bound bytes, its closing line included:
  // what does not fit is counted, endSection() writes the closing line right
  // after the section, and the pieces after it are written as before. A
  // section that would reach the report's own end is bounded by that end
  // only, and a cut there is the report's cut. Sections do not nest.
  void beginSection(size_t bound);
  void endSection();

  // Writes the closing line of a cut report and the terminator; returns the
  // report's length (terminator not counted).
  size_t finish();

 private:
  char* m_pBuffer;
  size_t m_nCapacity;
  size_t m_nLimit;  // end of the text before the cut
  size_t m_nLength = 0;
  size_t m_nLeftOut = 0;
  size_t m_nReportLimit = 0;  // m_nLimit outside a bounded section; 0: none open

  void writeCutLine();
};
