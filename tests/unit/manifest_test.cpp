#include "update/manifest.h"

#include <gtest/gtest.h>

#include "app/log.h"

namespace {

// The text in a heap block of exactly its length, so that a read past it is caught.
struct Parsed {
  size_t consumed = 99;
  FileDescriptor* entry;
  explicit Parsed(const std::string& text) {
    std::vector<char> exact(text.begin(), text.end());
    entry = parseFileDescriptor(exact.data(), exact.size(), &consumed);
  }
  ~Parsed() { freeFileDescriptor(entry); }
};

int parseBody(const std::string& text) {
  std::vector<char> exact(text.begin(), text.end());
  return parseManifest(exact.data(), exact.size());
}

// url|target|crc|size|type|compressed|inflated|name|stub @consumed
std::string fields(const Parsed& p) {
  const FileDescriptor* e = p.entry;
  return std::string(e->szUrl) + "|" + e->szTargetFilename + "|" +
         std::to_string(e->ulExpectedCrc) + "|" + std::to_string(e->nFileSize) + "|" +
         e->szFileType + "|" + std::to_string(e->bCompressed) + "|" +
         std::to_string(e->nUncompressedSize) + "|" + e->szBaseName + "|" +
         std::to_string(e->bStubFile) + " @" + std::to_string(p.consumed);
}

}  // namespace

TEST(ManifestTest, FormsLineEndsNumbersAndEveryFieldAtItsLimit) {
  const std::pair<std::string, const char*> cases[] = {
      {"http://f/q.exe|.\\quenzar.exe|2712847316|402944|3|quenzar.exe\n",
       "http://f/q.exe|.\\quenzar.exe|2712847316|402944|3|0|0|quenzar.exe|1 @61"},
      {"http://f/t.dat.z|.\\data\\tables.dat.z|93311208|18231|0|1|51200|tables.dat\r\nnext",
       "http://f/t.dat.z|.\\data\\tables.dat.z|93311208|18231|0|1|51200|tables.dat|0 @74"},
      // Last line without a line end; the stub name in capitals, "\r" dropped.
      {"u|t|1|2|3|QUENZAR.EXE\r", "u|t|1|2|3|0|0|QUENZAR.EXE|1 @22"},
      // The sixth field's "|" is looked for across the line end: "n" is a name.
      {"u|t|1|2||n\nv|w|3|4|5|name\n", "u|t|1|2||0|0|n|0 @11"},
      // No "|" left in the text: the sixth field is the name even if short.
      {"u|t|1|2|0|1", "u|t|1|2|0|0|0|1|0 @11"},
      // Empty flag and empty numbers read as 0; empty URL and target are kept.
      {"||||||x.y|nm\n", "||0|0||0|0|nm|0 @13"},
      {"u||4294967295| +7x|9|0||nm\n", "u||4294967295|7|9|0|0|nm|0 @27"},
      {"u|t.z|-1|abc|1|7| 12 |nm", "u|t.z|4294967295|0|1|7|12|nm|0 @24"},
      {"u|t|4294967296|268435456|1|nm", "u|t|0|268435456|1|0|0|nm|0 @29"},
  };
  for (const auto& c : cases) {
    Parsed p(c.first);
    ASSERT_NE(p.entry, nullptr) << c.first << logText();
    EXPECT_EQ(fields(p), c.second);
    EXPECT_EQ(p.entry->pNext, nullptr);
  }
  const std::pair<std::string, std::string> limits[] = {
      {"u" + std::string(2082, 'x') + "|t|1|2|3|nm", "u" + std::string(2083, 'x') + "|t|1|2|3|nm"},
      {"u|" + std::string(259, 'x') + "|1|2|3|nm", "u|" + std::string(260, 'x') + "|1|2|3|nm"},
      {"u|t|1|2|3|nm", "u|t|1|2|33|nm"},
      {"u|t|1|2|3|" + std::string(127, 'n'), "u|t|1|2|3|" + std::string(128, 'n')},
      {"u|t.z|1|2|3|1|5|" + std::string(127, 'n'), "u|t.z|1|2|3|1|5|" + std::string(128, 'n')},
  };
  for (const auto& l : limits) {
    // The same with each line end: "\r\n" lines read exactly like "\n" lines.
    for (const char* end : {"", "\n", "\r\n"}) {
      SCOPED_TRACE(l.first.substr(0, 20) + " / " + std::to_string(strlen(end)));
      Parsed fit(l.first + end), over(l.second + end);
      EXPECT_NE(fit.entry, nullptr);
      EXPECT_EQ(over.entry, nullptr);
      EXPECT_EQ(over.consumed, 0u);
    }
  }
  Parsed url(std::string(2083, 'u') + "|t|1|2|3|nm");
  ASSERT_NE(url.entry, nullptr);
  EXPECT_EQ(strlen(url.entry->szUrl), 2083u);
}

TEST(ManifestTest, RefusedLinesNewBodiesAndMovingEntries) {
  const std::pair<const char*, const char*> cases[] = {
      {"\n", "fewer than six fields"},
      {"u|t|12", "fewer than six fields"},  // body cut in the middle of a line
      {"u|t|1|2\n|x|3|4|5|nm", "fewer than six fields"},
      {"u|t|1|2|3|\nv|w|1|2|3|nm", "no name"},
      {"u|t|1|2|3|\n|w|1|2|3|nm", "compression fields incomplete"},
      {"u|t|1|2|3|1|51\n|nm", "compression fields incomplete"},
      {"u|t|1|2|3|ab|cd", "name holds \"|\""},
      {"u|t|1|-1|3|nm", "size negative"},
      {"u|t|1|268435457|3|nm", "size negative or above"},
      {"u|t|1|2|3|1|268435457|nm", "inflated size above"},
      {"u|.\\data\\tables|1|2|0|1|9|tables", "compressed target without"},
      {"u|.\\data\\.z|1|2|0|1|9|tables", "compressed target without"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    clearLog();
    Parsed p(c.first);
    EXPECT_EQ(p.entry, nullptr);
    EXPECT_EQ(p.consumed, 0u);
    EXPECT_NE(strstr(logText(), c.second), nullptr) << logText();
  }
  Parsed zero(std::string("u|t|1|2|3|n\0m\n", 14));
  EXPECT_EQ(zero.entry, nullptr);

  // Targets that would leave the install folder, and near misses that stay.
  for (const char* target : {"c:x.dll", "\\x.dll", "/x.dll", "a/../x", "a\\...\\x", "a\\.. \\x",
                             "a\\x.dll:s", "a\\com1.txt", "a\\", "a\\.", "."}) {
    clearLog();
    Parsed p("u|" + std::string(target) + "|1|2|0|nm\n");
    EXPECT_EQ(p.entry, nullptr) << target;
    EXPECT_NE(strstr(logText(), "leaves the install folder"), nullptr) << target;
  }
  for (const char* target : {".\\quenzar.exe", "a\\.\\b.dll", "data/x.dat", "com10", "a..b\\.c"}) {
    Parsed p("u|" + std::string(target) + "|1|2|0|nm\n");
    EXPECT_NE(p.entry, nullptr) << target;
  }
  // A new body replaces the list; the lines before a refused one stay.
  ASSERT_EQ(parseBody("u|x|1|2|0|old\r\n"), MANIFEST_OK);
  EXPECT_EQ(parseBody("u|a|1|2|0|one\nu|b|1|2|0|two\n\n"), MANIFEST_FAILED);
  ASSERT_NE(g_pxFileDescriptor, nullptr);
  EXPECT_STREQ(g_pxFileDescriptor->szBaseName, "one");
  ASSERT_NE(g_pxFileDescriptor->pNext, nullptr);
  EXPECT_EQ(g_pxFileDescriptor->pNext->pNext, nullptr);

  // Entries leave from the head; an appended one goes to the tail.
  FileDescriptor* spare = g_pxFileDescriptor;
  g_pxFileDescriptor = spare->pNext;
  appendFileDescriptor(spare);
  EXPECT_STREQ(g_pxFileDescriptor->pNext->szBaseName, "one");
  EXPECT_EQ(g_pxFileDescriptor->pNext->pNext, nullptr);
  dropFirstFileDescriptor();
  EXPECT_STREQ(g_pxFileDescriptor->szBaseName, "one");

  EXPECT_EQ(parseBody(""), MANIFEST_OK);
  EXPECT_EQ(g_pxFileDescriptor, nullptr);
  dropFirstFileDescriptor();  // empty list: nothing
}
