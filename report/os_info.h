// The Windows version as a kind (used by the start-up gate) and as the text
// the bug report prints.
#pragma once

#include <cstddef>
#include <cstdint>

enum WindowsKind {
  WINDOWS_95 = 0,  // also the kind when no rule names one
  WINDOWS_98 = 1,
  WINDOWS_ME = 2,
  WINDOWS_WIN32S = 3,
  WINDOWS_NT351 = 4,
  WINDOWS_NT4 = 5,
  WINDOWS_2000 = 6,
  WINDOWS_XP = 7,
};

// The raw facts of the system's version record.
struct WindowsVersion {
  uint32_t platform;  // 0 Win32s, 1 Windows 9x, 2 NT
  uint32_t major;
  uint32_t minor;
  uint32_t build;  // only the low 16 bits are printed
  char csd[128];   // service pack text, zero-terminated
};

class OsInfo {
 public:
  // Describes the given version; null means it could not be read (empty
  // text, kind Windows 95).
  explicit OsInfo(const WindowsVersion* version);

  int getKind() const { return m_nKind; }
  const char* getOsName() const { return m_szText; }

 private:
  int m_nKind = WINDOWS_95;
  char m_szText[256] = "";
};
