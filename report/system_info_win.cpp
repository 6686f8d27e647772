#include "report/system_info.h"

#include <windows.h>
#include <mmsystem.h>
#include <winsock2.h>

#include <cpuid.h>
#include <x86intrin.h>

#include <initializer_list>

#include "app/bounded_text.h"
#include "report/byte_size.h"

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

// The processor has CPUID when bit 21 of EFLAGS can be flipped. Every x86_64
// processor has it.
bool hasCpuid() {
#if defined(__x86_64__)
  return true;
#else
  unsigned long before, after;
  __asm__ volatile(
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "xorl $0x200000, %1\n\t"
      "pushl %1\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %1\n\t"
      "pushl %0\n\t"
      "popfl\n\t"
      : "=&r"(before), "=&r"(after)
      :
      : "cc");
  return ((before ^ after) & 0x200000) != 0;
#endif
}

void readCpuid(uint32_t function, uint32_t regs[4], void*) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  __cpuid(function, a, b, c, d);
  regs[0] = a;
  regs[1] = b;
  regs[2] = c;
  regs[3] = d;
}

// One reading in MHz: time-stamp ticks over about half a second of the
// multimedia timer, started on a fresh timer tick.
uint32_t speedReading() {
  DWORD t0 = timeGetTime();
  DWORD t1;
  while ((t1 = timeGetTime()) - t0 < 2) {
  }
  uint32_t c0 = static_cast<uint32_t>(__rdtsc());
  while (timeGetTime() - t1 <= 500) {
  }
  uint32_t c1 = static_cast<uint32_t>(__rdtsc());
  return (c1 - c0) / 500000;
}

// Fills the six memory byte counts: the extended record where the system has
// one (bound on first use, as older systems lack it), else the 32-bit one.
void readMemory(uint64_t values[6]) {
  typedef BOOL(WINAPI * StatusEx)(MEMORYSTATUSEX*);
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  StatusEx statusEx = kernel ? reinterpret_cast<StatusEx>(reinterpret_cast<void*>(
                                   GetProcAddress(kernel, "GlobalMemoryStatusEx")))
                             : nullptr;
  MEMORYSTATUSEX ex = {};
  ex.dwLength = sizeof ex;
  if (statusEx && statusEx(&ex)) {
    values[0] = ex.ullTotalPhys;
    values[1] = ex.ullAvailPhys;
    values[2] = ex.ullTotalPageFile;
    values[3] = ex.ullAvailPageFile;
    values[4] = ex.ullTotalVirtual;
    values[5] = ex.ullAvailVirtual;
    return;
  }
  MEMORYSTATUS status = {};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  values[0] = status.dwTotalPhys;
  values[1] = status.dwAvailPhys;
  values[2] = status.dwTotalPageFile;
  values[3] = status.dwAvailPageFile;
  values[4] = status.dwTotalVirtual;
  values[5] = status.dwAvailVirtual;
}

}  // namespace

CpuInfo::CpuInfo(bool measure) {
  identify();
  if (measure)
    measureSpeed();
}

void CpuInfo::identify() {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  formatText(m_szCount, sizeof m_szCount, "%lu",
             static_cast<unsigned long>(info.dwNumberOfProcessors));
  if (hasCpuid())
    identifyCpu(&m_xRegs, readCpuid, nullptr);
}

void CpuInfo::measureSpeed() {
  const int vendor = m_xRegs.nVendorCode;
  const int family = m_xRegs.family();
  if (!((vendor == 1 && family > 4) || (vendor == 2 && family > 5)))
    return;
  HANDLE process = GetCurrentProcess();
  DWORD priority = GetPriorityClass(process);
  SetPriorityClass(process, HIGH_PRIORITY_CLASS);
  uint32_t previous = 0;
  bool settled = false;
  for (int i = 0; i < 10 && !settled; ++i) {
    uint32_t reading = speedReading();
    settled = reading == previous;
    previous = reading;
  }
  if (priority)
    SetPriorityClass(process, priority);
  if (settled)
    formatText(m_szSpeed, sizeof m_szSpeed, "%lu MHz", static_cast<unsigned long>(previous));
}

MemoryInfo::MemoryInfo() {
  uint64_t values[6] = {};
  readMemory(values);
  for (int i = 0; i < 6; ++i)
    formatByteSize(values[i] + 655360, i == 0 ? 0 : 2, m_aszTexts[i], sizeof m_aszTexts[i]);
}

SocketInfo::SocketInfo(int major, int minor) {
  WSADATA data = {};
  if (WSAStartup(MAKEWORD(major, minor), &data) != 0) {
    for (int i : {0, 1, 2, 3, 4, 7})
      copyText(m_aszTexts[i], sizeof m_aszTexts[i], "Unknown");
    return;
  }
  formatText(m_aszTexts[0], sizeof m_aszTexts[0], "%u.%u", LOBYTE(data.wVersion),
             HIBYTE(data.wVersion));
  formatText(m_aszTexts[1], sizeof m_aszTexts[1], "%u.%u", LOBYTE(data.wHighVersion),
             HIBYTE(data.wHighVersion));
  copyTextPart(m_aszTexts[2], sizeof m_aszTexts[2], data.szDescription,
               boundedLength(data.szDescription, sizeof data.szDescription));
  copyTextPart(m_aszTexts[3], sizeof m_aszTexts[3], data.szSystemStatus,
               boundedLength(data.szSystemStatus, sizeof data.szSystemStatus));
  formatText(m_aszTexts[4], sizeof m_aszTexts[4], "%d", static_cast<int>(data.iMaxSockets));
  formatText(m_aszTexts[7], sizeof m_aszTexts[7], "%d", static_cast<int>(data.iMaxUdpDg));

  char host[128] = "";
  if (gethostname(host, sizeof host - 1) == 0) {
    host[sizeof host - 1] = '\0';
    const hostent* entry = gethostbyname(host);
    if (entry && entry->h_addr_list) {
      for (char** address = entry->h_addr_list; *address; ++address) {
        char text[260] = "";
        for (int i = 0; i < entry->h_length && i < 16; ++i) {
          char part[8];
          formatText(part, sizeof part, i ? ".%u" : "%u",
                     static_cast<unsigned>(static_cast<uint8_t>((*address)[i])));
          appendText(text, sizeof text, part);
        }
        copyText(m_aszTexts[5], sizeof m_aszTexts[5], text);
        copyText(m_aszTexts[6], sizeof m_aszTexts[6], host);
      }
    }
  }
  for (int i : {5, 6})
    if (m_aszTexts[i][0] == '\0')
      copyText(m_aszTexts[i], sizeof m_aszTexts[i], "Unknown");
  WSACleanup();
}

DriveList::DriveList(unsigned typeMask) : m_nMask(typeMask) {
  HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
  if (!kernel)
    return;
  typedef BOOL(WINAPI * FreeSpaceEx)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  FreeSpaceEx freeSpaceEx = reinterpret_cast<FreeSpaceEx>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
  const DWORD letters = GetLogicalDrives();
  static const unsigned kTypeBits[] = {0,           0, kDriveRemovable, kDriveFixed, kDriveNetwork,
                                       kDriveCdRom, 0};
  static const char* const kTypeTexts[] = {
      "", "", "Removable drive", "Fixed drive", "Network drive", "CD-ROM drive", ""};
  for (char letter = (m_nMask & kDriveRemovable) ? 'A' : 'C'; letter <= 'Z'; ++letter) {
    if (!(letters & (1u << (letter - 'A'))))
      continue;
    char root[4] = {letter, ':', '\\', '\0'};
    UINT type = GetDriveTypeA(root);
    if (type >= sizeof kTypeBits / sizeof kTypeBits[0] || !(kTypeBits[type] & m_nMask))
      continue;
    DriveInfo& drive = m_axDrives[m_nCount++];
    copyText(drive.szRoot, sizeof drive.szRoot, root);
    copyText(drive.szType, sizeof drive.szType, kTypeTexts[type]);
    if (freeSpaceEx) {
      ULARGE_INTEGER available, total, totalFree;
      if (freeSpaceEx(root, &available, &total, &totalFree)) {
        formatByteSize(total.QuadPart, 2, drive.szTotal, sizeof drive.szTotal);
        formatByteSize(totalFree.QuadPart, 2, drive.szFree, sizeof drive.szFree);
      } else {
        copyText(drive.szTotal, sizeof drive.szTotal, "0");
        copyText(drive.szFree, sizeof drive.szFree, "0");
      }
    } else {
      DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
      if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        sectorsPerCluster = bytesPerSector = freeClusters = clusters = 0;
      // Widened before multiplying, so disks above 4 GB do not wrap.
      const uint64_t cluster = static_cast<uint64_t>(bytesPerSector) * sectorsPerCluster;
      formatByteSize(cluster * clusters, 2, drive.szTotal, sizeof drive.szTotal);
      formatByteSize(cluster * freeClusters, 2, drive.szFree, sizeof drive.szFree);
    }
  }
  FreeLibrary(kernel);
}

SystemInfo::SystemInfo(bool measureSpeed, unsigned driveMask, int winsockMajor, int winsockMinor)
    : m_xCpu(measureSpeed),
      m_xOs(probeOs()),
      m_xMemory(),
      m_xSockets(winsockMajor, winsockMinor),
      m_xDrives(driveMask) {}

SystemInfo g_xSystemInfo(true, kDriveFixed | kDriveNetwork, 2, 0);
