// Facts about the machine, gathered once before WinMain runs and read-only
// afterwards. Holds the Windows version for now; the bug report's other
// probes join it.
#pragma once

#include "report/os_info.h"

class SystemInfo {
 public:
  SystemInfo();

  int getOsKind() const { return m_xOs.getKind(); }
  const char* getOsName() const { return m_xOs.getOsName(); }

 private:
  OsInfo m_xOs;
};

// Reads the running system's version record; false when it cannot be read.
bool readWindowsVersion(WindowsVersion* version);

extern SystemInfo g_xSystemInfo;
