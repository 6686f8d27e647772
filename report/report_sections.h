// Section heads of the plain-text system report. Each is a dash line, the
// title and the same dash line. The processor section opens every report,
// which is how the service side tells a report of this program from other
// text that happens to decipher.
#pragma once

constexpr const char kProcessorSectionHead[] =
    "---------------------\r\n"
    "PROCESSOR INFORMATION\r\n"
    "---------------------\r\n";
