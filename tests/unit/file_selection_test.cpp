#include "update/file_selection.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "app/log.h"
#include "update/manifest.h"
#include "update/target_path.h"

static FileDescriptor entry(const char* target, const char* type, int32_t size, uint32_t crc = 0) {
  FileDescriptor e = {};
  strcpy(e.szTargetFilename, target);
  strcpy(e.szFileType, type);
  e.nFileSize = size;
  e.ulExpectedCrc = crc;
  return e;
}

TEST(StoredNames, CompressedEntriesDropTheirLastExtension) {
  const char* cases[][3] = {
      // target, compressed name ("-" when refused), folder
      {".\\data\\tables.dat.z", ".\\data\\tables.dat", ".\\data"},
      {"a.b/c.d.z", "a.b/c.d", "a.b"},
      {"x\\y/z.z", "x\\y/z", "x"},  // a backslash wins over a later "/"
      {"data.d\\tables", "-", "data.d"},
      {".z", "-", ""},
      {"d\\..z", "-", "d"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c[0]);
    char stored[kTargetSize] = "x";
    EXPECT_TRUE(makeStoredFileName(c[0], false, stored, sizeof stored));
    EXPECT_STREQ(stored, c[0]);
    bool made = makeStoredFileName(c[0], true, stored, sizeof stored);
    EXPECT_EQ(made, strcmp(c[1], "-") != 0);
    EXPECT_STREQ(stored, made ? c[1] : "");
    char folder[kTargetSize] = "x";
    EXPECT_TRUE(targetFolder(c[0], folder, sizeof folder));
    EXPECT_STREQ(folder, c[2]);
  }
  char small[7];  // exact fit and one byte short
  EXPECT_TRUE(makeStoredFileName("abcdef.z", true, small, sizeof small));
  EXPECT_FALSE(makeStoredFileName("abcdefg.z", true, small, sizeof small));
  EXPECT_STREQ(small, "");
}

TEST(Progress, PercentTextAndDownloadTotals) {
  const int64_t cases[][3] = {{0, 0, 0},
                              {5, -3, 0},
                              {-1, 10, 0},
                              {2, 3, 66},
                              {100, 100, 100},
                              {150, 100, 100},
                              {INT_MAX - 1, INT_MAX, 99}};
  for (auto& c : cases)
    EXPECT_EQ(progressPercent(c[0], c[1]), c[2]) << c[0] << " of " << c[1];

  // The changed flag compares leading numbers and stays while the text was empty.
  char text[5] = "", tooSmall[4] = "";
  bool changed = true;
  updatePercentText(text, sizeof text, 0, 0, &changed);
  EXPECT_TRUE(changed);
  updatePercentText(text, sizeof text, 4, 1000, &changed);
  EXPECT_FALSE(changed);
  updatePercentText(text, sizeof text, 1000, 1000, &changed);
  EXPECT_TRUE(changed);
  EXPECT_STREQ(text, "100%");
  updatePercentText(tooSmall, sizeof tooSmall, 1, 1, &changed);
  EXPECT_STREQ(tooSmall, "");

  FileDescriptor list[] = {entry("a", "0", 10), entry("i", "8", 1000), entry("s", "3", 20),
                           entry("f", "9", 40), entry("s2", "3", 400), entry("f2", "9", 800),
                           entry("b", "", 3)};
  for (size_t i = 0; i + 1 < sizeof list / sizeof list[0]; ++i)
    list[i].pNext = &list[i + 1];
  auto always = [](const FileDescriptor*) { return true; };
  auto evenSizes = [](const FileDescriptor* e) { return e->nFileSize % 2 == 0; };
  EXPECT_EQ(downloadTotal(list, PHASE_FLASH_INSTALLATION, always), 40u);
  EXPECT_EQ(downloadTotal(list, PHASE_SELF_UPDATE, always), 20u);
  EXPECT_EQ(downloadTotal(list, PHASE_UPDATE, always), 10u + 20 + 40 + 400 + 800 + 3);
  EXPECT_EQ(downloadTotal(list, PHASE_UPDATE, evenSizes), 10u + 20 + 40 + 400 + 800);
  EXPECT_EQ(downloadTotal(list, PHASE_OTHER, always), 0u);
  EXPECT_EQ(downloadTotal(&list[6], PHASE_FLASH_INSTALLATION, always), 0u);
  // Totals past 32 bits stop at the progress bar's largest range.
  FileDescriptor big[9];
  for (int i = 0; i < 9; ++i) {
    big[i] = entry("x", "0", int32_t(kMaxEntrySize));
    big[i].pNext = i < 8 ? &big[i + 1] : nullptr;
  }
  EXPECT_EQ(downloadTotal(big, PHASE_UPDATE, always), uint32_t(INT_MAX));
  big[6].pNext = nullptr;
  EXPECT_EQ(downloadTotal(big, PHASE_UPDATE, always), 7u * kMaxEntrySize);
}

TEST(Validation, OnlyTheChecksumDecides) {
  clearLog();
  const std::pair<const char*, std::string> files[] = {
      {"velorin_select_abc.dat", "abc"},
      {"velorin_select_stub.exe", std::string("abc") + "AFF" + '\3' + '\0' + '\x55' + '\xAA'}};
  for (const auto& file : files)
    std::ofstream(file.first, std::ios::binary) << file.second;
  FileDescriptor packed = entry("velorin_select_abc.dat.z", "0", 3, 0x359A672Fu);
  packed.bCompressed = 1;
  FileDescriptor stub = entry("velorin_select_stub.exe", "3", 9, 0x359A672Fu), stubNoRule = stub;
  stub.bStubFile = 1;
  const std::pair<FileDescriptor, bool> cases[] = {
      {entry("velorin_select_abc.dat", "0", 3, 0x359A672Fu), false},
      {entry("velorin_select_missing.dat", "0", 3, 0), false},  // unchecked
      {entry("velorin_select_abc.dat", "0", 3, 0), false},      // unchecked, other bytes
      {packed, false},                                          // stored without its ".z"
      {stub, false},                                            // trailer left out
      {stubNoRule, true},
      {entry("velorin_select_abc.dat", "0", 3, 12345), true},
      {entry("velorin_select_missing.dat", "0", 3, 7), true},
      {entry("", "0", 3, 7), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(validateFile(&c.first), c.second) << c.first.szTargetFilename;
    if (&c == &cases[4])
      EXPECT_EQ(logLength(), 0u);  // nothing said of files that stay
  }
  for (const char* said : {"INFO: validateFile: file velorin_select_abc.dat must be downloaded: "
                           "calculated CRC: 899311407 versus expected CRC: 12345\n",
                           "WARNING: validateFile: pCurrentFile->szTargetFilename equals NULL; "
                           "not requesting download\n"})
    EXPECT_NE(strstr(logText(), said), nullptr) << said;
  remove("velorin_select_abc.dat");
  remove("velorin_select_stub.exe");
}
