// The settings store against a real registry (Wine's), under a key of its own
// that each test removes again.
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

  // Stores raw bytes with a type, bypassing the helpers.
  void storeRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
  }

  DWORD storedSize(const char* name, DWORD* type) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kKey, &key) != ERROR_SUCCESS)
      return 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? size : 0;
  }
};

TEST_F(Registry, StringRoundTripStoresTerminator) {
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "install", "1"));
  DWORD type = 0;
  EXPECT_EQ(2u, storedSize("install", &type));  // "1" and its zero
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  char buffer[128] = {};
  EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, kKey, "install", buffer, sizeof buffer));
  EXPECT_STREQ("1", buffer);
}

TEST_F(Registry, MissingKeyAndMissingValue) {
  char buffer[260];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_NE(0, readRegistryString(HKEY_CURRENT_USER, kMissingKey, "CWD", buffer, sizeof buffer));
  EXPECT_EQ('\0', buffer[0]);

  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "other", "v"));
  memset(buffer, 0, sizeof buffer);
  strcpy(buffer, "caller's");
  EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, kKey, "CWD", buffer, sizeof buffer));
  EXPECT_STREQ("caller's", buffer);  // untouched: callers zero their buffers

  EXPECT_EQ(0, deleteRegistryValue(HKEY_CURRENT_USER, kKey, "never-there"));
  EXPECT_NE(0, deleteRegistryValue(HKEY_CURRENT_USER, kMissingKey, "CWD"));
  EXPECT_EQ(0, deleteRegistryValue(HKEY_CURRENT_USER, kKey, "other"));
  EXPECT_EQ(0u, storedSize("other", nullptr));
}

TEST_F(Registry, StringsAtTheBufferLimitStayTerminated) {
  // Stored without a terminator and exactly as long as the buffer: it does not
  // fit, and reads as empty rather than with its last character dropped.
  // Windows hands such a REG_SZ over as it is; Wine adds a terminator that
  // does not fit and reports "more data", so the raw bytes go in as
  // REG_BINARY too (the reader does not look at the type).
  std::string exact(16, 'e');
  char buffer[17];
  for (DWORD type : {DWORD(REG_SZ), DWORD(REG_BINARY)}) {
    storeRaw("exact", type, exact.data(), 16);
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, kKey, "exact", buffer, 16));
    EXPECT_EQ('#', buffer[16]) << "wrote past the buffer";
    EXPECT_STREQ("", buffer) << "type " << type;

    // One character shorter, still without a terminator: there is room for one.
    storeRaw("short", type, exact.data(), 15);
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, kKey, "short", buffer, 16));
    EXPECT_EQ(std::string(15, 'e'), buffer) << "type " << type;
  }

  // Longer than the buffer: read as absent, never as a cut-off path.
  std::string longer(40, 'L');
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "long", longer.c_str()));
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, kKey, "long", buffer, 16));
  EXPECT_STREQ("", buffer);
  EXPECT_EQ('#', buffer[16]);

  // Fifteen characters and the terminator fit exactly.
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, kKey, "fits", std::string(15, 'f').c_str()));
  EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, kKey, "fits", buffer, 16));
  EXPECT_EQ(std::string(15, 'f'), buffer);
}

TEST_F(Registry, BinaryValues) {
  const unsigned char crcs[8] = {1, 2, 3, 4, 0xAA, 0xBB, 0xCC, 0xDD};
  ASSERT_EQ(0, writeRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", crcs, sizeof crcs));
  DWORD type = 0;
  EXPECT_EQ(8u, storedSize("usgBugReports", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

  unsigned char buffer[1024] = {};
  DWORD size = sizeof buffer;
  EXPECT_EQ(0, readRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", buffer, &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ(0, memcmp(crcs, buffer, sizeof crcs));

  size = 4;  // too small for the value
  EXPECT_EQ(1, readRegistryBinary(HKEY_CURRENT_USER, kKey, "usgBugReports", buffer, &size));
  size = sizeof buffer;
  EXPECT_EQ(1, readRegistryBinary(HKEY_CURRENT_USER, kKey, "dbgBugReports", buffer, &size));
  size = sizeof buffer;
  LONG missingKey = readRegistryBinary(HKEY_CURRENT_USER, kMissingKey, "x", buffer, &size);
  EXPECT_NE(0, missingKey);
  EXPECT_NE(1, missingKey);
}

TEST_F(Registry, WriteCreatesNestedKeys) {
  std::string nested = std::string(kKey) + "\\a\\b";
  ASSERT_EQ(0, writeRegistryString(HKEY_CURRENT_USER, nested.c_str(), "v", "deep"));
  char buffer[16] = {};
  EXPECT_EQ(0, readRegistryString(HKEY_CURRENT_USER, nested.c_str(), "v", buffer, sizeof buffer));
  EXPECT_STREQ("deep", buffer);
  RegDeleteKeyA(HKEY_CURRENT_USER, nested.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kKey) + "\\a").c_str());
}

}  // namespace
