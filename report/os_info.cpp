#include "report/os_info.h"

#include <cstdio>

#include "app/bounded_text.h"

namespace {

enum { PLATFORM_WIN32S = 0, PLATFORM_WINDOWS = 1, PLATFORM_NT = 2 };

}  // namespace

OsInfo::OsInfo(const WindowsVersion* version) {
  if (!version)
    return;
  char csd[sizeof version->csd];
  copyTextPart(csd, sizeof csd, version->csd, boundedLength(version->csd, sizeof version->csd - 1));
  const unsigned build = version->build & 0xFFFF;
  const unsigned major = version->major;
  const unsigned minor = version->minor;
  char* text = m_szText;
  const size_t size = sizeof m_szText;

  switch (version->platform) {
    case PLATFORM_WIN32S:
      copyText(text, size, "Microsoft Win32s ");
      m_nKind = WINDOWS_WIN32S;
      break;
    case PLATFORM_WINDOWS:
      if (major != 4)
        break;
      if (minor == 0) {
        copyText(text, size, "Microsoft Windows 95 ");
        if (csd[0] && csd[1] == 'C') {
          appendText(text, size, "OSR2 ");
        } else if (csd[0] && csd[1]) {
          const char letter[3] = {csd[1], ' ', '\0'};
          appendText(text, size, letter);
        }
        m_nKind = WINDOWS_95;
      } else if (minor == 10) {
        copyText(text, size, "Microsoft Windows 98 ");
        if (csd[0] && csd[1] == 'A')
          appendText(text, size, "SE ");
        m_nKind = WINDOWS_98;
      } else if (minor == 90) {
        copyText(text, size, "Microsoft Windows Me ");
        m_nKind = WINDOWS_ME;
      }
      break;
    case PLATFORM_NT:
      if (major <= 4) {
        formatText(text, size, "Microsoft Windows NT version %u.%u %s (Build %u) ", major, minor,
                   csd, build);
        if (major == 4)
          m_nKind = WINDOWS_NT4;
        else if (major == 3 && minor == 51)
          m_nKind = WINDOWS_NT351;
      } else if (major == 5 && minor == 0) {
        formatText(text, size, "Microsoft Windows 2000 %s (Build %u)", csd, build);
        m_nKind = WINDOWS_2000;
      } else if (major == 5 && minor == 1) {
        formatText(text, size, "Microsoft Windows XP %s (Build %u)", csd, build);
        m_nKind = WINDOWS_XP;
      } else {
        formatText(text, size, "%s (Build %u)", csd, build);
      }
      break;
    default:
      break;
  }
}
