// The settings store against Wine's registry, under a key of its own.
#include "app/registry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const kKey = "Software\\Tavelin\\VelorinRegistryTest";
const char* const kMissingKey = "Software\\Tavelin\\VelorinRegistryTest\\Missing";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
  void storeRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key));
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }
  // Reads into a buffer of size bytes that starts as before; '#' marks past it.
  std::string read(const char* name, DWORD size, const char* before = "") {
    char buffer[64];
    memset(buffer, '#', sizeof buffer);
    strcpy(buffer, before);
    EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, kKey, name, buffer, size));
    EXPECT_EQ('#', buffer[size]) << "wrote past the buffer";
    return std::string(buffer, strnlen(buffer, size));
  }
};

TEST_F(Registry, StringsMissingValuesNestedKeysAndTheBufferLimit) {
  std::string nested = std::string(kKey) + "\\a\\b";
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, nested.c_str(), "v", "deep"));
  char buffer[16] = "x";
  EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, nested.c_str(), "v", buffer, sizeof buffer));
  EXPECT_STREQ("deep", buffer);
  RegDeleteKeyA(HKEY_CURRENT_USER, nested.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kKey) + "\\a").c_str());
  EXPECT_NE(0, readRegistryString(HKEY_CURRENT_USER, kMissingKey, "CWD", buffer, sizeof buffer));
  EXPECT_EQ('\0', buffer[0]);
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "other", "v"));
  EXPECT_EQ("caller's", read("CWD", 16, "caller's"));  // untouched: callers zero their buffers
  EXPECT_EQ(0, deleteRegistryValue(HKEY_CURRENT_USER, kKey, "never-there"));
  EXPECT_NE(0, deleteRegistryValue(HKEY_CURRENT_USER, kMissingKey, "CWD"));
  EXPECT_EQ(0, deleteRegistryValue(HKEY_CURRENT_USER, kKey, "other"));
  EXPECT_EQ("", read("other", 16));

  // A value that fills the buffer without a terminator did not fit and reads
  // as empty. Wine adds a terminator to a REG_SZ that does not fit, so the raw
  // bytes go in as REG_BINARY too (the reader does not look at the type).
  std::string e16(16, 'e');
  for (DWORD type : {DWORD(REG_SZ), DWORD(REG_BINARY)}) {
    storeRaw("exact", type, e16.data(), 16);
    EXPECT_EQ("", read("exact", 16)) << type;
    storeRaw("short", type, e16.data(), 15);
    EXPECT_EQ(std::string(15, 'e'), read("short", 16)) << type;
  }
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "long", std::string(40, 'L').c_str()));
  EXPECT_EQ("", read("long", 16));
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "fits", std::string(15, 'f').c_str()));
  EXPECT_EQ(std::string(15, 'f'), read("fits", 16));
  HKEY key = nullptr;
  DWORD type = 0, stored = 0;  // stored with its terminator, as other readers expect
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, kKey, &key));
  RegQueryValueExA(key, "fits", nullptr, &type, nullptr, &stored);
  RegCloseKey(key);
  EXPECT_EQ(std::make_pair(DWORD(REG_SZ), DWORD(16)), std::make_pair(type, stored));
}

TEST_F(Registry, BinaryValues) {
  const unsigned char crcs[8] = {1, 2, 3, 4, 0xAA, 0xBB, 0xCC, 0xDD};
  ASSERT_EQ(0, writeRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", crcs, sizeof crcs));
  unsigned char buffer[1024] = {};
  DWORD size = sizeof buffer;
  EXPECT_EQ(0, readRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", buffer, &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ(0, memcmp(crcs, buffer, sizeof crcs));
  size = 4;  // too small for the value
  EXPECT_EQ(1, readRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", buffer, &size));
  size = sizeof buffer;
  EXPECT_EQ(1, readRegistryBinary(HKEY_CURRENT_USER, kKey, "dbgBugReports", buffer, &size));
  LONG missingKey = readRegistryBinary(HKEY_CURRENT_USER, kMissingKey, "x", buffer, &size);
  EXPECT_TRUE(missingKey != 0 && missingKey != 1) << missingKey;
}

}  // namespace
