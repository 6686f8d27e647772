#!/usr/bin/env python3
"""The client launch and its DNS hand-over (launch_probe.exe): the first game host at 127.0.0.2 makes it ask
the game domain's name servers for the servers it passes on; another address, or NT 4.0, passes none."""

import os
import shutil
import socket
import struct
import subprocess
import threading

import velorin_env
from velorin_env import Config, ScenarioGroup, dns_name, records

DOMAIN = "games.quenzar.test"
GAME1, GAME2 = "game1.games.quenzar.test", "game2.games.quenzar.test"
RESPONDER_PORT = 5353
# dnsmasq hands the game domain's questions to the responder below.
Config.dns_options = ["--server=/%s/127.0.0.1#%d" % (DOMAIN, RESPONDER_PORT)]


def respond(sock, state):
    """Counts the questions in state["asked"]; answers an NS question with one NS record per name in
    state["names"], each with its A record."""
    while True:
        try:
            packet, peer = sock.recvfrom(1500)
        except OSError:
            return
        end = packet.index(b"\0", 12)
        state["asked"] += 1
        names = state["names"] if struct.unpack_from(">H", packet, end + 1)[0] == 2 else []
        header = packet[:2] + struct.pack(">HHHHH", 0x8180, 1, len(names), 0, len(names))
        sock.sendto(header + packet[12:end + 5]
                    + b"".join(b"\xc0\x0c" + struct.pack(">HHIH", 2, 1, 60, len(dns_name(n))) + dns_name(n) for n in names)
                    + b"".join(dns_name(n) + struct.pack(">HHIH", 1, 1, 60, 4) + bytes([127, 0, 0, 10 + i])
                               for i, n in enumerate(names)), peer)


class DnsHandOver(ScenarioGroup):
    def launch(self, install, program):
        """The demo client's command line after one launch, and the launch's log."""
        record = self.scratch("client.txt")
        env = dict(self.prefix.env, DEMO_CLIENT_RECORD=self.prefix.win(record), DEMO_CLIENT_MODE="end")
        result = subprocess.run([velorin_env.wine(), self.prefix.win(os.path.join(self.workdir, "launch_probe.exe")),
                                 self.prefix.win(install), program], env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run([velorin_env.wineserver(), "-w"], env=self.prefix.env, timeout=60)
        log, found = result.stdout.decode("latin-1"), records(record)
        self.assertEqual(len(found), 1, log)
        self.assertEqual(found[0]["cwd"].lower(), self.prefix.win(install).lower())
        return found[0]["cmdline"], log

    def test_servers_named_by_the_game_domain_or_none(self):
        sock, state = socket.socket(socket.AF_INET, socket.SOCK_DGRAM), {}
        sock.bind(("127.0.0.1", RESPONDER_PORT))
        self.addCleanup(sock.close)
        threading.Thread(target=respond, args=(sock, state), daemon=True).start()
        # Unquoted, "Quenzar Client.exe" would first be tried as "Quenzar", and the stub's installed name
        # "Quenzar.exe" beside it would start.
        install, blanks = self.prefix.c("Quenzar"), self.prefix.c("Quenzar Games")
        os.makedirs(os.path.join(install, "bin"))
        os.makedirs(blanks)
        for source, target in ((Config.demo_client, os.path.join(install, "bin", "demo_client.exe")),
                               (Config.demo_client, os.path.join(blanks, "Quenzar Client.exe")),
                               (Config.launch_probe, os.path.join(blanks, "Quenzar.exe")),
                               (Config.launch_probe, os.path.join(self.workdir, "launch_probe.exe"))):
            shutil.copy2(source, target)
        hosts = os.path.join(Config.workdir, "hosts")
        with open(hosts) as f:
            kept = [line for line in f.read().splitlines() if not line.endswith(" " + GAME1)]
        both = ["x.gameR." + DOMAIN, "y.gameLS." + DOMAIN]
        # None: no question asked, no servers passed.
        for version, address, names, servers in ((None, "127.0.0.2", both, " -gr=x -gl=y"),
                                                 (None, "127.0.0.2", both[:1], " -gr=x -gl=" + GAME2),
                                                 (None, "127.0.0.1", both, None), ("nt40", "127.0.0.2", both, None)):
            with self.subTest(version=version, address=address, names=names):
                self.set_state(windows_version=version)
                with open(hosts, "w") as f:  # rewritten in place: the namespace's /etc/hosts is bound to it
                    f.write("\n".join(kept + ["%s %s" % (address, GAME1)]) + "\n")
                state.update(names=names, asked=0)
                command, log = self.launch(install, "bin\\demo_client.exe")
                self.assertEqual(command, "bin\\demo_client.exe -a=" + (servers or ""), log)
                self.assertEqual(state["asked"] > 0, servers is not None, "asked the name servers")
        command, log = self.launch(blanks, "Quenzar Client.exe")
        self.assertEqual(command, '"Quenzar Client.exe" -a=', log)


if __name__ == "__main__":
    velorin_env.main()
