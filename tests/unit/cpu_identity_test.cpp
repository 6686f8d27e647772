#include "report/cpu_identity.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A recorded processor: function -> registers; unlisted functions give 0.
struct FakeCpu {
  std::map<uint32_t, std::vector<uint32_t>> functions;
  std::vector<uint32_t> asked;
};

void readFake(uint32_t function, uint32_t regs[4], void* context) {
  FakeCpu* cpu = static_cast<FakeCpu*>(context);
  cpu->asked.push_back(function);
  auto it = cpu->functions.find(function);
  for (int i = 0; i < 4; ++i)
    regs[i] = it == cpu->functions.end() ? 0 : it->second[i];
}

void setVendor(FakeCpu* cpu, uint32_t highest, const char* vendor) {
  uint32_t b, d, c;
  memcpy(&b, vendor, 4);
  memcpy(&d, vendor + 4, 4);
  memcpy(&c, vendor + 8, 4);
  cpu->functions[0] = {highest, b, c, d};
}

CpuidRegisters identify(FakeCpu* cpu) {
  CpuidRegisters regs;
  identifyCpu(&regs, readFake, cpu);
  return regs;
}

const uint32_t kMmx = 0x00800000;

TEST(CpuIdentity, IntelCoppermineWithMmx) {
  FakeCpu cpu;
  setVendor(&cpu, 2, "GenuineIntel");
  cpu.functions[1] = {0x683, 0, 0, kMmx | 1};
  CpuidRegisters regs = identify(&cpu);
  EXPECT_EQ(regs.nVendorCode, 1);
  EXPECT_STREQ(regs.szVendor, "GenuineIntel");
  EXPECT_EQ(regs.family(), 6);
  EXPECT_EQ(regs.model(), 8);
  EXPECT_EQ(regs.stepping(), 3);
  EXPECT_STREQ(regs.szName, "Intel Pentium(R) III Coppermine processor with MMX");
  EXPECT_TRUE(regs.hasFeature(kMmx | 1));
  EXPECT_FALSE(regs.hasFeature(kMmx | 2));
  EXPECT_EQ(regs.ulExtendedFeatures, 0u);  // 0x80000001 never read
}

TEST(CpuIdentity, CacheDescriptorsNameModelsFiveAndSeven) {
  uint32_t cache[4] = {0x00000001, 0, 0, 0};
  EXPECT_STREQ(intelModelName(6, 5, 0, cache), "Intel Pentium(R) II processor, model 5");
  EXPECT_STREQ(intelModelName(6, 7, 0, cache), "Intel Pentium(R) III processor");
  cache[3] = 0x40000000;  // byte 3 of EDX
  EXPECT_STREQ(intelModelName(6, 7, 0, cache), "Intel Celeron(TM) processor, model 5");
  cache[3] = 0;
  cache[1] = 0x00004500;
  EXPECT_STREQ(intelModelName(6, 5, 0, cache), "Intel Pentium(R) II Xeon(TM) processor");
  EXPECT_STREQ(intelModelName(6, 7, 0, cache), "Intel Pentium(R) III Xeon(TM) processor");
  cache[1] = 0x00000044;  // byte 0 is not a descriptor
  EXPECT_STREQ(intelModelName(6, 5, 0, cache), "Intel Pentium(R) II processor, model 5");

  // Through the walk: function 2 counts only when its low byte is 1.
  FakeCpu cpu;
  setVendor(&cpu, 2, "GenuineIntel");
  cpu.functions[1] = {0x652, 0, 0, kMmx};
  cpu.functions[2] = {0x00400001, 0, 0, 0};
  EXPECT_STREQ(identify(&cpu).szName, "Intel Celeron(TM) processor, model 5 with MMX");
  cpu.functions[2] = {0x00400002, 0, 0, 0};
  EXPECT_STREQ(identify(&cpu).szName, "Intel Pentium(R) II processor, model 5 with MMX");
}

TEST(CpuIdentity, ModelTableEdges) {
  uint32_t none[4] = {};
  EXPECT_STREQ(intelModelName(4, 0, 0, none), "Intel486(TM) DX processor");
  EXPECT_STREQ(intelModelName(4, 8, 0, none), "IntelDX4(TM) processor");
  EXPECT_STREQ(intelModelName(4, 9, 0, none), "Intel 486 processor");
  EXPECT_STREQ(intelModelName(5, 15, 0, none), "Intel Pentium(R) processor");
  EXPECT_STREQ(intelModelName(6, 1, 0, none), "Intel Pentium(R) Pro processor");
  EXPECT_STREQ(intelModelName(6, 6, 0, none), "Intel Celeron(TM) processor, model 6");
  EXPECT_STREQ(intelModelName(6, 11, 8, none), "Genuine Intel Pentium(R) 4 processor");
  EXPECT_STREQ(intelModelName(6, 11, 4, none), "Unknown Genuine Intel processor");
  EXPECT_STREQ(intelModelName(15, 2, 8, none), "");
  EXPECT_STREQ(intelModelName(3, 0, 0, none), "");
}

TEST(CpuIdentity, HighestFunctionThreeOrMoreLeavesItUnidentified) {
  FakeCpu cpu;
  setVendor(&cpu, 3, "GenuineIntel");
  cpu.functions[1] = {0x683, 0, 0, kMmx};
  CpuidRegisters regs = identify(&cpu);
  EXPECT_TRUE(regs.bIdentificationAvailable);
  EXPECT_EQ(regs.nVendorCode, 1);
  EXPECT_STREQ(regs.szName, "");
  EXPECT_EQ(regs.family(), 0);
  EXPECT_FALSE(regs.hasFeature(kMmx));
  EXPECT_EQ(cpu.asked, std::vector<uint32_t>({0}));
}

TEST(CpuIdentity, AmdBrandStringAndExtendedFeatures) {
  FakeCpu cpu;
  setVendor(&cpu, 1, "AuthenticAMD");
  cpu.functions[1] = {0x621, 0, 0, 0};
  cpu.functions[0x80000000] = {0x80000004, 0, 0, 0};
  char brand[48] = "AMD Athlon(tm) Processor";
  for (int i = 0; i < 3; ++i) {
    std::vector<uint32_t> r(4);
    memcpy(r.data(), brand + 16 * i, 16);
    cpu.functions[0x80000002 + i] = r;
  }
  cpu.functions[0x80000001] = {0, 0, 0, 0xC0400000};
  CpuidRegisters regs = identify(&cpu);
  EXPECT_EQ(regs.nVendorCode, 2);
  EXPECT_STREQ(regs.szName, "AMD Athlon(tm) Processor");
  EXPECT_TRUE(regs.hasExtendedFeature(0x80000000));
  EXPECT_TRUE(regs.hasExtendedFeature(0x00400000));
  // A 48-byte brand without a zero stays within its 48 bytes.
  memset(brand, 'B', sizeof brand);
  for (int i = 0; i < 3; ++i) {
    std::vector<uint32_t> r(4);
    memcpy(r.data(), brand + 16 * i, 16);
    cpu.functions[0x80000002 + i] = r;
  }
  EXPECT_EQ(strlen(identify(&cpu).szName), 48u);
  // 0x80000005 replaces the function 2 record.
  cpu.functions[0x80000000] = {0x80000005, 0, 0, 0};
  cpu.functions[0x80000005] = {1, 2, 3, 4};
  EXPECT_EQ(identify(&cpu).aulCache[3], 4u);
}

TEST(CpuIdentity, VendorCodes) {
  EXPECT_EQ(cpuVendorCode("CyrixInstead"), 3);
  EXPECT_EQ(cpuVendorCode("CentaurHauls"), 4);
  EXPECT_EQ(cpuVendorCode("GenuineIntel "), 0);
  EXPECT_EQ(cpuVendorCode(""), 0);
}

}  // namespace
