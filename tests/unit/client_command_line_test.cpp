#include "ui/client_command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/log.h"

namespace {

GameServers servers(const char* gr, const char* gl) {
  GameServers result = {};
  strcpy(result.szGr, gr);
  strcpy(result.szGl, gl);
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

TEST(ClientCommandLine, PiecesInTheirOrderAndOnlyWhenAsked) {
  ClientLaunchInput input = {"bin\\client.exe", "", false, 1280, 1024, nullptr};
  EXPECT_EQ("bin\\client.exe -a=", build(input));

  GameServers named = servers("x", "y");
  named.bFound = true;
  input = {"client.exe", "aff7", true, 1280, 1024, &named};
  EXPECT_EQ("client.exe -a=aff7 -d=1280,1024 -gr=x -gl=y", build(input));

  // Servers without a matching record, and an emptied gr, are not passed.
  GameServers unnamed = servers("x", "y");
  input.pServers = &unnamed;
  input.bScreenSize = false;
  EXPECT_EQ("client.exe -a=aff7", build(input));
  named.szGr[0] = '\0';
  input.pServers = &named;
  EXPECT_EQ("client.exe -a=aff7 -gl=y", build(input));
}

TEST(ClientCommandLine, ArgumentThatDoesNotFitIsLeftOutNeverCut) {
  clearLog();
  std::string program(500, 'p');
  // " -a=" + 8 characters makes exactly 512.
  ClientLaunchInput input = {program.c_str(), "12345678", false, 0, 0, nullptr};
  std::string line = build(input);
  EXPECT_EQ(512u, line.size());
  EXPECT_EQ(program + " -a=12345678", line);

  // One more character: the whole affiliate argument goes, and the log says so.
  input.szAffiliate = "123456789";
  EXPECT_EQ(program, build(input));
  EXPECT_NE(nullptr, strstr(logText(), "argument -a= left out"));

  // The last argument at the exact bound, then one character over it.
  GameServers named = servers(std::string(200, 'g').c_str(), "y");
  named.bFound = true;
  std::string exact(297, 'p');
  input = {exact.c_str(), "", false, 0, 0, &named};
  EXPECT_EQ(exact + " -a= -gr=" + std::string(200, 'g') + " -gl=y", build(input));
  EXPECT_EQ(512u, build(input).size());
  std::string over(298, 'p');
  input.szProgram = over.c_str();
  EXPECT_EQ(over + " -a= -gr=" + std::string(200, 'g'), build(input));

  // A later argument that still fits is kept after one that did not.
  std::string program305(305, 'p');
  input.szProgram = program305.c_str();
  EXPECT_EQ(program305 + " -a= -gl=y", build(input));
}

TEST(ClientCommandLine, ProgramPathThatDoesNotFitFailsWhole) {
  std::string program(513, 'p');
  ClientLaunchInput input = {program.c_str(), "", false, 0, 0, nullptr};
  char out[kClientCommandLineSize];
  EXPECT_FALSE(buildClientCommandLine(input, out, sizeof out));
  EXPECT_STREQ("", out);
  // Quoted, a path of 511 characters no longer fits either.
  std::string blank = std::string(255, 'p') + " " + std::string(255, 'q');
  input.szProgram = blank.c_str();
  EXPECT_FALSE(buildClientCommandLine(input, out, sizeof out));
  EXPECT_STREQ("", out);
}

TEST(ClientCommandLine, PathWithABlankIsQuotedArgumentsUnchanged) {
  ClientLaunchInput input = {"bin\\Quenzar Client.exe", "aff7", true, 800, 600, nullptr};
  EXPECT_EQ("\"bin\\Quenzar Client.exe\" -a=aff7 -d=800,600", build(input));
  input.szProgram = "bin\\Quenzar\tClient.exe";
  EXPECT_EQ("\"bin\\Quenzar\tClient.exe\" -a=aff7 -d=800,600", build(input));
}

TEST(ClientCommandLine, CallersSmallerBufferIsTheBound) {
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

  // Only a gR record: gl keeps its default host.
  GameServers onlyR = servers("default-r", "default-l");
  Record alone = {nullptr, "x.gameR.games.test", kDnsTypeA};
  findGameServers(&alone, &onlyR);
  EXPECT_TRUE(onlyR.bFound);
  EXPECT_STREQ("x", onlyR.szGr);
  EXPECT_STREQ("default-l", onlyR.szGl);

  // Markers are case-sensitive; nothing matched leaves the flag clear.
  GameServers none = servers("default-r", "default-l");
  Record lower = {nullptr, "x.gamer.games.test", kDnsTypeA};
  findGameServers(&lower, &none);
  EXPECT_FALSE(none.bFound);
  findGameServers<Record>(nullptr, &none);
  EXPECT_FALSE(none.bFound);
  EXPECT_STREQ("default-r", none.szGr);
}

TEST(GameServerRecords, NameTooLongForItsBufferLeavesTheServer) {
  std::string name = std::string(kGameServerNameSize, 'n') + ".gameR.games.test";
  GameServers found = servers("default-r", "default-l");
  applyGameServerRecord(name.c_str(), kDnsTypeA, &found);
  EXPECT_STREQ("default-r", found.szGr);
  std::string fits = std::string(kGameServerNameSize - 1, 'n') + ".gameR.games.test";
  applyGameServerRecord(fits.c_str(), kDnsTypeA, &found);
  EXPECT_EQ(std::string(kGameServerNameSize - 1, 'n'), found.szGr);
}
