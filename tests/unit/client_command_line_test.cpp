#include "ui/client_command_line.h"

#include <gtest/gtest.h>

#include "app/log.h"

namespace {

GameServers servers(const std::string& gr, const char* gl, bool found = false) {
  GameServers result = {};
  strcpy(result.szGr, gr.c_str());
  strcpy(result.szGl, gl);
  result.bFound = found;
  return result;
}

// Built into the first `size` bytes of a larger block: nothing is written past them.
std::string build(const ClientLaunchInput& input,
                  size_t size = kClientCommandLineSize,
                  bool ok = true) {
  char out[kClientCommandLineSize + 8];
  memset(out, 'X', sizeof out);
  EXPECT_EQ(ok, buildClientCommandLine(input, out, size));
  EXPECT_EQ(std::string(sizeof out - size, 'X'), std::string(out + size, sizeof out - size));
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
      // The last argument at the bound and one over; a later one that fits is kept.
      {{p297.c_str(), "", false, 0, 0, &longGr}, p297 + " -a=" + g200 + " -gl=y"},
      {{p298.c_str(), "", false, 0, 0, &longGr}, p298 + " -a=" + g200},
      {{p305.c_str(), "", false, 0, 0, &longGr}, p305 + " -a= -gl=y"},
  };
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(expected, build(input));
  EXPECT_NE(nullptr, strstr(logText(), "argument -a= left out"));
  // 513 characters, and (quoted) 511 with a blank.
  for (std::string program :
       {std::string(513, 'p'), std::string(255, 'p') + " " + std::string(255, 'q')})
    EXPECT_EQ("",
              build({program.c_str(), "", false, 0, 0, nullptr}, kClientCommandLineSize, false));
  // A 32-byte buffer: "bin\client.exe -a=" and 13 characters fit exactly, 14 do not.
  for (std::string affiliate : {std::string("12345678901234"), std::string("1234567890123")}) {
    ClientLaunchInput input = {"bin\\client.exe", affiliate.c_str(), false, 0, 0, nullptr};
    EXPECT_EQ(affiliate.size() > 13 ? "bin\\client.exe" : "bin\\client.exe -a=" + affiliate,
              build(input, 32));
  }
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
