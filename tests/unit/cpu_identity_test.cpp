#include "report/cpu_identity.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// A recorded processor: function -> registers; unlisted functions give 0.
struct FakeCpu {
  std::map<uint32_t, std::vector<uint32_t>> functions;
  std::vector<uint32_t> asked;

  FakeCpu(uint32_t highest, const char* vendor) {
    uint32_t r[3];
    memcpy(r, vendor, 12);  // EBX, EDX, ECX
    functions[0] = {highest, r[0], r[2], r[1]};
  }
  void setText(uint32_t first, const char* brand, size_t length) {
    char text[48] = {};
    memcpy(text, brand, length);
    for (uint32_t i = 0; i < 3; ++i) {
      functions[first + i].resize(4);
      memcpy(functions[first + i].data(), text + 16 * i, 16);
    }
  }
  CpuidRegisters identify() {
    CpuidRegisters regs;
    identifyCpu(&regs, read, this);
    return regs;
  }
  static void read(uint32_t function, uint32_t regs[4], void* context) {
    FakeCpu* cpu = static_cast<FakeCpu*>(context);
    cpu->asked.push_back(function);
    auto it = cpu->functions.find(function);
    for (int i = 0; i < 4; ++i)
      regs[i] = it == cpu->functions.end() ? 0 : it->second[i];
  }
};

const uint32_t kMmx = 0x00800000;

}  // namespace

TEST(CpuIdentity, IntelByFamilyModelAndCacheDescriptors) {
  FakeCpu cpu(2, "GenuineIntel");
  cpu.functions[1] = {0x683, 0, 0, kMmx | 1};
  CpuidRegisters regs = cpu.identify();
  EXPECT_EQ(regs.nVendorCode, 1);
  EXPECT_STREQ(regs.szVendor, "GenuineIntel");
  EXPECT_EQ(std::make_tuple(regs.family(), regs.model(), regs.stepping()),
            std::make_tuple(6, 8, 3));
  EXPECT_STREQ(regs.szName, "Intel Pentium(R) III Coppermine processor with MMX");
  EXPECT_TRUE(regs.hasFeature(kMmx | 1));
  EXPECT_FALSE(regs.hasFeature(kMmx | 2));
  EXPECT_EQ(regs.ulExtendedFeatures, 0u);  // 0x80000001 never read

  // Function 2 counts only when its low byte is 1.
  cpu.functions[1] = {0x652, 0, 0, kMmx};
  cpu.functions[2] = {0x00400001, 0, 0, 0};
  EXPECT_STREQ(cpu.identify().szName, "Intel Celeron(TM) processor, model 5 with MMX");
  cpu.functions[2] = {0x00400002, 0, 0, 0};
  EXPECT_STREQ(cpu.identify().szName, "Intel Pentium(R) II processor, model 5 with MMX");

  const std::tuple<int, int, int, std::array<uint32_t, 4>, const char*> cases[] = {
      {6, 5, 0, {1, 0, 0, 0}, "Intel Pentium(R) II processor, model 5"},
      {6, 7, 0, {1, 0, 0, 0}, "Intel Pentium(R) III processor"},
      {6, 7, 0, {1, 0, 0, 0x40000000}, "Intel Celeron(TM) processor, model 5"},  // EDX byte 3
      {6, 7, 0, {1, 0x4500, 0, 0}, "Intel Pentium(R) III Xeon(TM) processor"},
      {4, 9, 0, {}, "Intel 486 processor"},  // past the named 486 models
      {6, 11, 8, {}, "Genuine Intel Pentium(R) 4 processor"},
      {6, 11, 4, {}, "Unknown Genuine Intel processor"},
      {15, 2, 8, {}, ""},
      {3, 0, 0, {}, ""},
  };
  for (const auto& [family, model, brand, cache, name] : cases)
    EXPECT_STREQ(intelModelName(family, model, brand, cache.data()), name)
        << family << "/" << model;
}

TEST(CpuIdentity, HighestFunctionThreeOrMoreLeavesItUnidentifiedAmdBrandAndVendorCodes) {
  FakeCpu cpu(3, "GenuineIntel");
  cpu.functions[1] = {0x683, 0, 0, kMmx};
  CpuidRegisters regs = cpu.identify();
  EXPECT_TRUE(regs.bIdentificationAvailable && regs.nVendorCode == 1);
  EXPECT_STREQ(regs.szName, "");
  EXPECT_FALSE(regs.family() || regs.hasFeature(kMmx));
  EXPECT_EQ(cpu.asked, std::vector<uint32_t>({0}));
  cpu = FakeCpu(1, "AuthenticAMD");
  cpu.functions[1] = {0x621, 0, 0, 0};
  cpu.functions[0x80000000] = {0x80000004, 0, 0, 0};
  cpu.setText(0x80000002, "AMD Athlon(tm) Processor", 24);
  cpu.functions[0x80000001] = {0, 0, 0, 0xC0400000};
  regs = cpu.identify();
  EXPECT_EQ(regs.nVendorCode, 2);
  EXPECT_STREQ(regs.szName, "AMD Athlon(tm) Processor");
  EXPECT_TRUE(regs.hasExtendedFeature(0x80000000) && regs.hasExtendedFeature(0x00400000));
  // A 48-byte brand without a zero stays within its 48 bytes.
  cpu.setText(0x80000002, std::string(48, 'B').data(), 48);
  EXPECT_EQ(strlen(cpu.identify().szName), 48u);
  // 0x80000005 replaces the function 2 record.
  cpu.functions[0x80000000] = {0x80000005, 0, 0, 0};
  cpu.functions[0x80000005] = {1, 2, 3, 4};
  EXPECT_EQ(cpu.identify().aulCache[3], 4u);

  const std::pair<const char*, int> vendors[] = {
      {"CyrixInstead", 3}, {"CentaurHauls", 4}, {"GenuineIntel ", 0}, {"", 0}};
  for (const auto& [vendor, code] : vendors)
    EXPECT_EQ(cpuVendorCode(vendor), code) << vendor;
}
