#include "report/system_info.h"

#include <windows.h>

#include "app/bounded_text.h"

bool readWindowsVersion(WindowsVersion* version) {
  OSVERSIONINFOEXA info = {};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)))
      return false;
  }
  version->platform = info.dwPlatformId;
  version->major = info.dwMajorVersion;
  version->minor = info.dwMinorVersion;
  version->build = info.dwBuildNumber;
  copyTextPart(version->csd, sizeof version->csd, info.szCSDVersion,
               boundedLength(info.szCSDVersion, sizeof info.szCSDVersion));
  return true;
}

namespace {

OsInfo probeOs() {
  WindowsVersion version = {};
  return OsInfo(readWindowsVersion(&version) ? &version : nullptr);
}

}  // namespace

SystemInfo::SystemInfo() : m_xOs(probeOs()) {}

SystemInfo g_xSystemInfo;
