// Facts about the machine, gathered once before WinMain runs and read-only
// afterwards: processor, Windows version, memory, Windows Sockets and drives.
// The bug report prints them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "report/cpu_identity.h"
#include "report/os_info.h"

// Processor: identification through CPUID, count, and the clock speed
// measured against the multimedia timer.
class CpuInfo {
 public:
  explicit CpuInfo(bool measure);

  const char* getName() const { return m_xRegs.szName; }
  const char* getSpeed() const { return m_szSpeed; }
  const char* getCount() const { return m_szCount; }
  int getFamily() const { return m_xRegs.family(); }
  int getModel() const { return m_xRegs.model(); }
  int getStepping() const { return m_xRegs.stepping(); }
  const CpuidRegisters& getRegisters() const { return m_xRegs; }

 private:
  void identify();
  void measureSpeed();

  CpuidRegisters m_xRegs;
  char m_szSpeed[32] = "0";
  char m_szCount[16] = "";
};

// Memory: six byte-size texts (total and available physical memory, page
// file and virtual address space), each with 640 KB added.
class MemoryInfo {
 public:
  MemoryInfo();
  const char* get(int index) const { return m_aszTexts[index]; }

 private:
  char m_aszTexts[6][32] = {};
};

// Windows Sockets: version, highest version, description, system status,
// maximum sockets, IP address, host name, maximum UDP datagram.
class SocketInfo {
 public:
  SocketInfo(int major, int minor);
  const char* get(int index) const { return m_aszTexts[index]; }

 private:
  char m_aszTexts[8][260] = {};
};

// Drives whose type is in the mask: 1 fixed, 2 network, 4 removable, 8 CD-ROM.
constexpr unsigned kDriveFixed = 1;
constexpr unsigned kDriveNetwork = 2;
constexpr unsigned kDriveRemovable = 4;
constexpr unsigned kDriveCdRom = 8;

struct DriveInfo {
  char szType[24] = "";
  char szRoot[4] = "";
  char szTotal[32] = "";
  char szFree[32] = "";
};

class DriveList {
 public:
  explicit DriveList(unsigned typeMask);
  size_t count() const { return m_nCount; }
  const DriveInfo& at(size_t index) const { return m_axDrives[index]; }

 private:
  unsigned m_nMask;
  DriveInfo m_axDrives[26];
  size_t m_nCount = 0;
};

class SystemInfo {
 public:
  SystemInfo(bool measureSpeed, unsigned driveMask, int winsockMajor, int winsockMinor);

  const char* getCpuName() const { return m_xCpu.getName(); }
  const char* getCpuSpeed() const { return m_xCpu.getSpeed(); }
  const char* getCpuCount() const { return m_xCpu.getCount(); }
  const CpuInfo& getCpu() const { return m_xCpu; }
  int getOsKind() const { return m_xOs.getKind(); }
  const char* getOsName() const { return m_xOs.getOsName(); }
  const MemoryInfo& getMemory() const { return m_xMemory; }
  const SocketInfo& getSockets() const { return m_xSockets; }
  const DriveList& getDrives() const { return m_xDrives; }

 private:
  CpuInfo m_xCpu;
  OsInfo m_xOs;
  MemoryInfo m_xMemory;
  SocketInfo m_xSockets;
  DriveList m_xDrives;
};

// Reads the running system's version record; false when it cannot be read.
bool readWindowsVersion(WindowsVersion* version);

extern SystemInfo g_xSystemInfo;
