#include "ui/client_command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "app/log.h"

namespace {

GameServers servers(const std::string& gr, const char* gl, bool found = false) {
  GameServers result = {};
  strcpy(result.szGr, gr.c_str());
  strcpy(result.szGl, gl);
  result.bFound = found;
  return result;
}

std::string build(const ClientLaunchInput& input) {
  char out[kClientCommandLineSize];
  memset(out, 'X', sizeof out);
  EXPECT_TRUE(buildClientCommandLine(input, out, sizeof out));
  return out;
}

// A DNS answer list the way the system hands it over.
struct Record {
  const Record* pNext;
  const char* pName;
  uint16_t wType;
};

}  // namespace

TEST(ClientCommandLine, PiecesInOrderNeverCutAndTheBuffersBound) {
  clearLog();
  GameServers named = servers("x", "y", true), unnamed = servers("x", "y"),
              noGr = servers("", "y", true), longGr = servers(std::string(200, 'g'), "y", true);
  const std::string p500(500, 'p'), p297(297, 'p'), p298(298, 'p'), p305(305, 'p'),
      g200 = " -gr=" + std::string(200, 'g');
  const std::tuple<ClientLaunchInput, std::string> cases[] = {
      {{"bin\\client.exe", "", false, 1280, 1024, nullptr}, "bin\\client.exe -a="},
      {{"client.exe", "aff7", true, 1280, 1024, &named},
       "client.exe -a=aff7 -d=1280,1024 -gr=x -gl=y"},
      // Servers without a matching record, and an emptied gr, are not passed.
      {{"client.exe", "aff7", false, 0, 0, &unnamed}, "client.exe -a=aff7"},
      {{"client.exe", "aff7", false, 0, 0, &noGr}, "client.exe -a=aff7 -gl=y"},
      // A path with a tab is quoted like one with a blank.
      {{"bin\\Quenzar\tClient.exe", "", false, 0, 0, nullptr}, "\"bin\\Quenzar\tClient.exe\" -a="},
      // Exactly 512; one more character drops the whole argument.
      {{p500.c_str(), "12345678", false, 0, 0, nullptr}, p500 + " -a=12345678"},
      {{p500.c_str(), "123456789", false, 0, 0, nullptr}, p500},
      // The last argument at the exact bound, then one character over it; a
      // later argument that still fits is kept after one that did not.
      {{p297.c_str(), "", false, 0, 0, &longGr}, p297 + " -a=" + g200 + " -gl=y"},
      {{p298.c_str(), "", false, 0, 0, &longGr}, p298 + " -a=" + g200},
      {{p305.c_str(), "", false, 0, 0, &longGr}, p305 + " -a= -gl=y"},
  };
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(expected, build(input));
  EXPECT_NE(nullptr, strstr(logText(), "argument -a= left out"));
  // 513 characters, and (quoted) 511 with a blank.
  for (std::string program :
       {std::string(513, 'p'), std::string(255, 'p') + " " + std::string(255, 'q')}) {
    ClientLaunchInput input = {program.c_str(), "", false, 0, 0, nullptr};
    char out[kClientCommandLineSize];
    EXPECT_FALSE(buildClientCommandLine(input, out, sizeof out));
    EXPECT_STREQ("", out);
  }
  // A 32-byte buffer inside a larger block: nothing is written past it.
  char block[kClientCommandLineSize];
  memset(block, 'X', sizeof block);
  std::string affiliate(40, 'a');
  ClientLaunchInput input = {"bin\\client.exe", affiliate.c_str(), false, 0, 0, nullptr};
  EXPECT_TRUE(buildClientCommandLine(input, block, 32));
  EXPECT_STREQ("bin\\client.exe", block);
  EXPECT_EQ(std::string(sizeof block - 32, 'X'), std::string(block + 32, sizeof block - 32));
  input.szAffiliate = "1234567890123";  // "bin\client.exe -a=" + 13 = exactly 31
  EXPECT_TRUE(buildClientCommandLine(input, block, 32));
  EXPECT_STREQ("bin\\client.exe -a=1234567890123", block);
}

TEST(GameServerRecords, WalkKeepsTheLastMatchOfEachKind) {
  Record last = {nullptr, "z.gameLS.games.test", kDnsTypeA};
  Record ns = {&last, "x2.gameR.games.test", 2};  // NS record: ignored
  Record unnamed = {&ns, nullptr, kDnsTypeA};
  Record both = {&unnamed, "b.gameLS.gameR.games.test", kDnsTypeA};  // gr only
  Record gl = {&both, "y.gameLS.games.test", kDnsTypeA};
  Record first = {&gl, "x.gameR.games.test", kDnsTypeA};
  GameServers found = servers("default-r", "default-l");
  findGameServers(&first, &found);
  EXPECT_TRUE(found.bFound);
  EXPECT_STREQ("b.gameLS", found.szGr);
  EXPECT_STREQ("z", found.szGl);

  // Markers are case-sensitive; nothing matched leaves the flag clear.
  GameServers none = servers("default-r", "default-l");
  Record lower = {nullptr, "x.gamer.games.test", kDnsTypeA};
  findGameServers(&lower, &none);
  findGameServers<Record>(nullptr, &none);
  EXPECT_FALSE(none.bFound);
  EXPECT_STREQ("default-r", none.szGr);

  // A name too long for its buffer leaves the server; one byte less fits.
  std::string name = std::string(kGameServerNameSize, 'n') + ".gameR.games.test";
  applyGameServerRecord(name.c_str(), kDnsTypeA, &none);
  EXPECT_STREQ("default-r", none.szGr);
  applyGameServerRecord(name.c_str() + 1, kDnsTypeA, &none);
  EXPECT_EQ(std::string(kGameServerNameSize - 1, 'n'), none.szGr);
}
