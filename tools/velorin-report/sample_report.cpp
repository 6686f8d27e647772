#include "tools/velorin-report/sample_report.h"

#include "report/report_sections.h"

std::string sampleReportText() {
  std::string text = kProcessorSectionHead;
  text +=
      "CPU String:     GenuineIntel Sample CPU\r\n"
      "CPU Speed:      1995 MHz\r\n"
      "Number of CPUs: 1\r\n"
      "Family:         6\r\n"
      "Model:          8\r\n"
      "Stepping:       3\r\n\r\n"
      "--------------\r\n"
      "OS INFORMATION\r\n"
      "--------------\r\n"
      "OS:            Windows 98 SE\r\n"
      "Input Locale: 00000409\r\n\r\n"
      "-------------\r\n"
      "USER COMMENTS\r\n"
      "-------------\r\n"
      "Sample report: the table closed when I pressed Fold.\r\n\r\n";
  return text;
}
