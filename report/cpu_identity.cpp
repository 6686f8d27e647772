#include "report/cpu_identity.h"

#include <cstring>

#include "app/bounded_text.h"

namespace {

const uint32_t kMmxBit = 0x00800000;

void readInto(CpuidReader read, void* context, uint32_t function, uint32_t out[4]) {
  uint32_t regs[4] = {};
  read(function, regs, context);
  memcpy(out, regs, sizeof regs);
}

void readFunction2(CpuidRegisters* regs, CpuidReader read, void* context) {
  uint32_t r[4] = {};
  read(2, r, context);
  // The record counts only when one call describes every cache.
  if ((r[0] & 0xFF) == 1)
    memcpy(regs->aulCache, r, sizeof r);
  else
    memset(regs->aulCache, 0, sizeof regs->aulCache);
}

void readExtendedFeatures(CpuidRegisters* regs, CpuidReader read, void* context) {
  uint32_t r[4] = {};
  read(0x80000001u, r, context);
  regs->ulExtendedFeatures = r[3];
}

void readBrandString(CpuidRegisters* regs, CpuidReader read, void* context) {
  char brand[49] = {};
  for (uint32_t i = 0; i < 3; ++i) {
    uint32_t r[4] = {};
    read(0x80000002u + i, r, context);
    memcpy(brand + 16 * i, r, 16);
  }
  copyTextPart(regs->szName, sizeof regs->szName, brand, boundedLength(brand, 48));
}

// Bytes 1 to 3 of each register of the function 2 record are descriptors.
bool hasDescriptor(const uint32_t cache[4], uint8_t a, uint8_t b) {
  for (int reg = 0; reg < 4; ++reg)
    for (int byte = 1; byte < 4; ++byte) {
      uint8_t d = static_cast<uint8_t>(cache[reg] >> (8 * byte));
      if (d == a || d == b)
        return true;
    }
  return false;
}

}  // namespace

int cpuVendorCode(const char* vendor) {
  static const char* const kVendors[] = {"GenuineIntel", "AuthenticAMD", "CyrixInstead",
                                         "CentaurHauls"};
  for (int i = 0; i < 4; ++i)
    if (strcmp(vendor, kVendors[i]) == 0)
      return i + 1;
  return 0;
}

const char* intelModelName(int family, int model, int brandIndex, const uint32_t cache[4]) {
  if (family == 4) {
    switch (model) {
      case 0:
      case 1:
        return "Intel486(TM) DX processor";
      case 2:
        return "Intel486(TM) SX processor";
      case 3:
        return "IntelDX2(TM) processor";
      case 4:
        return "Intel486(TM) processor";
      case 5:
        return "IntelSX2(TM) processor";
      case 7:
        return "Writeback Enhanced IntelDX2(TM) processor";
      case 8:
        return "IntelDX4(TM) processor";
      default:
        return "Intel 486 processor";
    }
  }
  if (family == 5)
    return "Intel Pentium(R) processor";
  if (family != 6)
    return "";
  switch (model) {
    case 1:
      return "Intel Pentium(R) Pro processor";
    case 3:
      return "Intel Pentium(R) II processor, model 3";
    case 5:
    case 7: {
      if (hasDescriptor(cache, 0x40, 0x40))
        return "Intel Celeron(TM) processor, model 5";
      if (hasDescriptor(cache, 0x44, 0x45))
        return model == 5 ? "Intel Pentium(R) II Xeon(TM) processor"
                          : "Intel Pentium(R) III Xeon(TM) processor";
      return model == 5 ? "Intel Pentium(R) II processor, model 5"
                        : "Intel Pentium(R) III processor";
    }
    case 6:
      return "Intel Celeron(TM) processor, model 6";
    case 8:
      return "Intel Pentium(R) III Coppermine processor";
    default:
      switch (brandIndex) {
        case 1:
          return "Genuine Intel Celeron(TM) processor";
        case 2:
          return "Genuine Intel Pentium(R) III processor";
        case 3:
          return "Genuine Intel Pentium(R) III Xeon(TM) processor";
        case 8:
          return "Genuine Intel Pentium(R) 4 processor";
        default:
          return "Unknown Genuine Intel processor";
      }
  }
}

void identifyCpu(CpuidRegisters* regs, CpuidReader read, void* context) {
  regs->bIdentificationAvailable = true;
  uint32_t r[4] = {};
  read(0, r, context);
  const uint32_t highest = r[0];
  if (highest != 0) {
    memcpy(regs->szVendor, &r[1], 4);
    memcpy(regs->szVendor + 4, &r[3], 4);
    memcpy(regs->szVendor + 8, &r[2], 4);
    regs->szVendor[12] = '\0';
    regs->nVendorCode = cpuVendorCode(regs->szVendor);
  }
  if (highest == 2) {
    readFunction2(regs, read, context);
    readInto(read, context, 1, regs->aulFunction1);
  } else if (highest == 1) {
    readInto(read, context, 1, regs->aulFunction1);
  } else {
    return;  // unidentified: name empty, every value 0
  }
  if (regs->nVendorCode == 1)
    copyText(regs->szName, sizeof regs->szName,
             intelModelName(regs->family(), regs->model(), regs->brandIndex(), regs->aulCache));

  read(0x80000000u, r, context);
  switch (r[0]) {
    case 0x80000006u:
      readInto(read, context, 0x80000006u, regs->aulFunction80000006);
      [[fallthrough]];
    case 0x80000005u:
      readInto(read, context, 0x80000005u, regs->aulCache);
      [[fallthrough]];
    case 0x80000004u:
      readBrandString(regs, read, context);
      [[fallthrough]];
    case 0x80000001u:
      readExtendedFeatures(regs, read, context);
      break;
    default:
      break;
  }
  if (regs->hasFeature(kMmxBit))
    appendText(regs->szName, sizeof regs->szName, " with MMX");
}
