#include "report/report_writer.h"

#include <cstdio>
#include <cstring>

ReportWriter::ReportWriter(char* buffer, size_t capacity)
    : m_pBuffer(buffer), m_nCapacity(capacity), m_nLimit(capacity - 1 - kReportCutReserve) {
  m_pBuffer[0] = '\0';
}

void ReportWriter::append(const void* data, size_t length) {
  if (m_nLeftOut) {
    m_nLeftOut += length;
    return;
  }
  size_t fits = length < room() ? length : room();
  memcpy(m_pBuffer + m_nLength, data, fits);
  m_nLength += fits;
  m_pBuffer[m_nLength] = '\0';
  m_nLeftOut += length - fits;
}

void ReportWriter::appendText(const char* text) {
  append(text, strlen(text));
}

void ReportWriter::appendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  // At most room() characters and the terminator, which lands no further
  // than m_nLimit.
  int n = vsnprintf(m_nLeftOut ? nullptr : m_pBuffer + m_nLength, m_nLeftOut ? 0 : room() + 1,
                    format, args);
  va_end(args);
  if (n <= 0)
    return;
  const size_t wanted = static_cast<size_t>(n);
  if (m_nLeftOut) {
    m_nLeftOut += wanted;
    return;
  }
  size_t fits = wanted < room() ? wanted : room();
  m_nLength += fits;
  m_nLeftOut += wanted - fits;
}

void ReportWriter::leaveOut(size_t length) {
  m_nLeftOut += length;
}

void ReportWriter::writeCutLine() {
  int n = snprintf(m_pBuffer + m_nLength, m_nCapacity - m_nLength,
                   "\r\n[report cut here: %lu bytes left out]\r\n",
                   static_cast<unsigned long>(m_nLeftOut));
  if (n > 0)
    m_nLength += static_cast<size_t>(n) < m_nCapacity - m_nLength ? static_cast<size_t>(n)
                                                                  : m_nCapacity - m_nLength - 1;
}

void ReportWriter::beginSection(size_t bound) {
  // The closing line goes inside the bound, and the whole bound must lie
  // before the report's own limit; otherwise the report's end bounds it.
  if (m_nLeftOut || m_nReportLimit || bound <= kReportCutReserve || bound >= room())
    return;
  m_nReportLimit = m_nLimit;
  m_nLimit = m_nLength + bound - kReportCutReserve;
}

void ReportWriter::endSection() {
  if (!m_nReportLimit)
    return;
  if (m_nLeftOut) {
    writeCutLine();  // ends at most kReportCutReserve past the section's limit
    m_nLeftOut = 0;
  }
  m_nLimit = m_nReportLimit;
  m_nReportLimit = 0;
}

size_t ReportWriter::finish() {
  endSection();
  if (m_nLeftOut)
    writeCutLine();
  m_pBuffer[m_nLength] = '\0';
  return m_nLength;
}
