#include "report/system_report.h"

#include <cstring>

#include "app/bounded_text.h"
#include "report/report_sections.h"

namespace {

struct FeatureLine {
  const char* format;
  bool firstExtended;
  uint32_t first;
  uint32_t second;  // 0: a line with one value
};

const FeatureLine kFeatureLines[] = {
    {"FPU:     %d              CMOV:%d\r\n", false, 0x00000001, 0x00008000},
    {"VME:     %d              PAT:%d\r\n", false, 0x00000002, 0x00010000},
    {"DE:      %d              PSE36:%d\r\n", false, 0x00000004, 0x00020000},
    {"PSE:     %d              PSNUM:%d\r\n", false, 0x00000008, 0x00040000},
    {"TSC:     %d              CLFLUSH:%d\r\n", false, 0x00000010, 0x00080000},
    {"MSR:     %d              DTS:%d\r\n", false, 0x00000020, 0x00200000},
    {"PAE:     %d              ACPI:%d\r\n", false, 0x00000040, 0x00400000},
    {"MCE:     %d              MMX:%d\r\n", false, 0x00000080, 0x00800000},
    {"CX8:     %d              FXSR:%d\r\n", false, 0x00000100, 0x01000000},
    {"APIC:    %d              SSE:%d\r\n", false, 0x00000200, 0x02000000},
    {"SEP:     %d              SSE2:%d\r\n", false, 0x00000800, 0x04000000},
    {"MTRR:    %d              SS:%d\r\n", false, 0x00001000, 0x08000000},
    {"PGE:     %d              TM:%d\r\n", false, 0x00002000, 0x20000000},
    {"MCA:     %d\r\n", false, 0x00004000, 0},
    {"3dNow!:  %d              3dNow!Ex:%d\r\n", true, 0x80000000, 0x40000000},
    {"SSE MMX: %d\r\n\r\n", true, 0x00400000, 0},
};

int bits(uint32_t reg, uint32_t mask) {
  return (reg & mask) == mask ? 1 : 0;
}

const char* const kMemoryFormats[6] = {"Total:         %s\r\n", "Available:     %s\r\n",
                                       "Total Page:    %s\r\n", "Avail Page:    %s\r\n",
                                       "Total Virtual: %s\r\n", "Avail Virtual: %s\r\n\r\n"};
const char* const kSocketFormats[8] = {"Version:       %s\r\n", "Highest Ver:   %s\r\n",
                                       "Description:   %s\r\n", "System Status: %s\r\n",
                                       "Max:           %s\r\n", "IP Address:    %s\r\n",
                                       "Domain Name:   %s\r\n", "UDP Max:       %s\r\n"};

const char* const kTypeTags[] = {"[REG_NONE]",   "[REG_SZ]",       "[REG_EXPAND_SZ]",
                                 "[REG_BINARY]", "[REG_DWORD]",    "[REG_DWORD_BIG_ENDIAN]",
                                 "[UNKNOWN]",    "[REG_MULTI_SZ]", "[REG_RESOURCE_LIST]",
                                 "[UNKNOWN]",    "[UNKNOWN]",      "[REG_QWORD]"};

void writeTime(ReportWriter& report, const char* format, const ReportFileTime& t) {
  if (t.valid)
    report.appendFormat(format, t.day, t.month, t.year, t.hour, t.minute);
}

}  // namespace

void writeReportHead(ReportWriter& report, const ReportMachineFacts& f, const char* comment) {
  report.appendText(kProcessorSectionHead);
  report.appendFormat("CPU String:     %s\r\n", f.cpuName);
  report.appendFormat("CPU Speed:      %s\r\n", f.cpuSpeed);
  report.appendFormat("Number of CPUs: %s\r\n", f.cpuCount);
  report.appendFormat("Family:         %d\r\n", f.family);
  report.appendFormat("Model:          %d\r\n", f.model);
  report.appendFormat("Stepping:       %d\r\n\r\n", f.stepping);

  report.appendText("------------------\r\nPROCESSOR FEATURES\r\n------------------\r\n");
  for (const FeatureLine& line : kFeatureLines) {
    uint32_t reg = line.firstExtended ? f.extendedFeatures : f.standardFeatures;
    if (line.second)
      report.appendFormat(line.format, bits(reg, line.first), bits(reg, line.second));
    else
      report.appendFormat(line.format, bits(reg, line.first));
  }

  report.appendText("--------------\r\nOS INFORMATION\r\n--------------\r\n");
  report.appendFormat("OS:            %s\r\n", f.osName);
  report.appendFormat("Input Locale: %s\r\n", f.inputLocale);
  report.appendFormat("System Default Language ID: %s\r\n", f.systemLanguage);
  report.appendFormat("Current User Language ID:   %s\r\n\r\n", f.userLanguage);

  if (comment) {
    report.appendText("-------------\r\nUSER COMMENTS\r\n-------------\r\n");
    report.appendText(comment);
    report.appendText("\r\n\r\n");
  }

  report.appendText("------------------\r\nMEMORY INFORMATION\r\n------------------\r\n");
  for (int i = 0; i < 6; ++i)
    report.appendFormat(kMemoryFormats[i], f.memory[i]);

  report.appendText("------------------\r\nSOCKET INFORMATION\r\n------------------\r\n");
  for (int i = 0; i < 8; ++i)
    report.appendFormat(kSocketFormats[i], f.sockets[i]);

  report.appendText(
      "\r\n----------------------\r\nHARD DRIVE INFORMATION\r\n----------------------\r\n");
  for (size_t i = 0; i < f.driveCount; ++i)
    report.appendFormat("Name: %s Type: %s Total: %s Free: %s\r\n", f.drives[i].root,
                        f.drives[i].type, f.drives[i].total, f.drives[i].free);

  report.appendText(
      "\r\n-----------------------\r\nFILE SYSTEM INFORMATION\r\n-----------------------\r\n");
  report.appendFormat("Temp Directory:%s\r\n", f.tempFolder);
  report.appendFormat("Windows Path:  %s\r\n", f.windowsFolder);
  report.appendFormat("System Path:   %s\r\n", f.systemFolder);
  report.appendText("\r\n");
}

void writeRegistryHead(ReportWriter& report) {
  report.appendText("-----------------\r\nREGISTRY CONTENTS\r\n-----------------\r\n");
}

void writeRegistryValueLine(ReportWriter& report,
                            const char* const* subkeys,
                            size_t depth,
                            const char* name,
                            size_t nameLength,
                            uint32_t type,
                            const uint8_t* data,
                            size_t dataLength) {
  for (size_t i = 0; i < depth; ++i) {
    report.appendText(subkeys[i]);
    report.appendText("\\");
  }
  size_t shownName = boundedLength(name, nameLength);
  if (shownName == 0)
    report.appendText("<NO NAME>");
  else
    report.append(name, shownName);
  report.appendText(" Type: ");
  report.appendText(type < sizeof kTypeTags / sizeof kTypeTags[0] ? kTypeTags[type] : "[UNKNOWN]");
  if (type == 1 || type == 2 || type == 7) {
    report.appendText(" \"");
    report.append(data, boundedLength(reinterpret_cast<const char*>(data), dataLength));
    report.appendText("\"");
  } else {
    report.appendText("{");
    if (dataLength != 0)
      report.appendFormat("%u ", static_cast<unsigned>(data[0]));
    report.appendText("}");
  }
  report.appendText("\r\n");
}

void writeFileEntry(ReportWriter& report,
                    const char* folder,
                    const char* name,
                    uint32_t attributes,
                    const ReportFileTime& created,
                    const ReportFileTime& accessed,
                    const ReportFileTime& written,
                    uint64_t size) {
  static const struct {
    uint32_t bit;
    const char* word;
  } kAttributes[] = {{0x20, "Archive;"},     {0x800, "Compressed;"}, {0x10, "Directory;"},
                     {0x4000, "Encrypted;"}, {0x2, "Hidden;"},       {0x80, "Normal;"},
                     {0x1000, "Offline;"},   {0x1, "ReadOnly;"},     {0x4, "System;"},
                     {0x100, "Temporary"}};
  report.appendText(folder);
  report.appendText("\\");
  report.appendText(name);
  report.appendText("\r\n\r\n");
  report.appendText("\tAttributes: \t\t \t");
  for (const auto& a : kAttributes)
    if (attributes & a.bit)
      report.appendText(a.word);
  report.appendText("\r\n");
  writeTime(report, "\tCreated:\t\t \t%02d/%02d/%d %02d:%02d;\r\n", created);
  writeTime(report, "\tLast read from/written to: \t%02d/%02d/%d %02d:%02d;\r\n", accessed);
  writeTime(report, "\tLast written to: \t\t%02d/%02d/%d %02d:%02d\r\n", written);
  report.appendFormat("\tFilesize: \t\t\t%llu bytes\r\n", static_cast<unsigned long long>(size));
}
