// Processor identification from raw CPUID results: the walk over the
// functions, the vendor code, the Intel model table and the brand string.
// The instruction itself is behind a reader, so the walk runs on recorded
// registers as well as on the processor.
#pragma once

#include <cstddef>
#include <cstdint>

struct CpuidRegisters {
  bool bIdentificationAvailable = false;
  uint32_t ulExtendedFeatures = 0;  // EDX of 0x80000001
  char szVendor[13] = "";
  char szName[64] = "";
  int nVendorCode = 0;            // 1 Intel, 2 AMD, 3 Cyrix, 4 Centaur, 0 other
  uint32_t aulFunction1[4] = {};  // signature, EBX, ECX, standard features
  uint32_t aulCache[4] = {};      // function 2, replaced by 0x80000005
  uint32_t aulFunction80000006[4] = {};

  int family() const { return static_cast<int>((aulFunction1[0] >> 8) & 0xF); }
  int model() const { return static_cast<int>((aulFunction1[0] >> 4) & 0xF); }
  int stepping() const { return static_cast<int>(aulFunction1[0] & 0xF); }
  int brandIndex() const { return static_cast<int>(aulFunction1[1] & 0xFF); }
  bool hasFeature(uint32_t mask) const { return (aulFunction1[3] & mask) == mask; }
  bool hasExtendedFeature(uint32_t mask) const { return (ulExtendedFeatures & mask) == mask; }
};

// Runs CPUID function into regs (EAX, EBX, ECX, EDX).
using CpuidReader = void (*)(uint32_t function, uint32_t regs[4], void* context);

// 1 "GenuineIntel", 2 "AuthenticAMD", 3 "CyrixInstead", 4 "CentaurHauls",
// else 0.
int cpuVendorCode(const char* vendor);

// The Intel model name for family, model, brand index and the function 2
// cache record; "" when the family has no entry.
const char* intelModelName(int family, int model, int brandIndex, const uint32_t cache[4]);

// The whole walk on a processor known to have CPUID: vendor, signature and
// features, the Intel name, the extended functions and the brand string,
// then " with MMX" when the MMX bit is set.
void identifyCpu(CpuidRegisters* regs, CpuidReader read, void* context);
