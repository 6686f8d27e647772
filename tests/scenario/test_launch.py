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
from velorin_env import Config, ScenarioGroup, records

DOMAIN = "games.quenzar.test"
GAME1, GAME2 = "game1.games.quenzar.test", "game2.games.quenzar.test"
RESPONDER_PORT = 5353
# dnsmasq hands the game domain's questions to the responder below.
Config.dns_options = ["--server=/%s/127.0.0.1#%d" % (DOMAIN, RESPONDER_PORT)]


def _name(text):
    return b"".join(bytes([len(p)]) + p.encode() for p in text.split(".")) + b"\0"


class Responder(threading.Thread):
    """Answers an NS question with one NS record per name in `records`, each with its A record."""

    def __init__(self):
        super().__init__(daemon=True)
        self.records, self.questions = [], 0
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", RESPONDER_PORT))

    def run(self):
        while True:
            try:
                packet, peer = self.sock.recvfrom(1500)
            except OSError:
                return
            end = 12
            while packet[end]:
                end += packet[end] + 1
            self.questions += 1
            answers, extra = [], []
            if struct.unpack_from(">H", packet, end + 1)[0] == 2:
                for i, name in enumerate(self.records):
                    answers.append(b"\xc0\x0c" + struct.pack(">HHIH", 2, 1, 60, len(_name(name))) + _name(name))
                    extra.append(_name(name) + struct.pack(">HHIH", 1, 1, 60, 4) + bytes([127, 0, 0, 10 + i]))
            header = packet[:2] + struct.pack(">HHHHH", 0x8180, 1, len(answers), 0, len(extra))
            self.sock.sendto(header + packet[12:end + 5] + b"".join(answers) + b"".join(extra), peer)


class DnsHandOver(ScenarioGroup):
    def map_game_host(self, address):
        """The namespace's /etc/hosts, rewritten in place with the first default game host's address."""
        hosts = os.path.join(Config.workdir, "hosts")
        with open(hosts) as f:
            lines = [line for line in f.read().splitlines() if not line.endswith(" " + GAME1)]
        with open(hosts, "w") as f:
            f.write("\n".join(lines + ["%s %s" % (address, GAME1)]) + "\n")

    def launch(self, install, program):
        """The demo client's command line after one launch, and the launch's log."""
        record = self.scratch("client.txt")
        env = dict(self.prefix.env, DEMO_CLIENT_RECORD=self.prefix.win(record), DEMO_CLIENT_MODE="end")
        result = subprocess.run([velorin_env.wine(), self.prefix.win(os.path.join(self.workdir, "launch_probe.exe")),
                                 self.prefix.win(install), program], env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run([velorin_env.wineserver(), "-w"], env=self.prefix.env, timeout=60)
        log = result.stdout.decode("latin-1")
        found = records(record)
        self.assertEqual(len(found), 1, log)
        fields = found[0]
        self.assertEqual(fields["cwd"].lower(), self.prefix.win(install).lower())
        return fields["cmdline"], log

    def test_servers_named_by_the_game_domain_or_none(self):
        responder = Responder()
        responder.start()
        self.addCleanup(responder.sock.close)
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
        both = ["x.gameR." + DOMAIN, "y.gameLS." + DOMAIN]
        cases = ((None, "127.0.0.2", both, " -gr=x -gl=y"),
                 (None, "127.0.0.2", ["x.gameR." + DOMAIN], " -gr=x -gl=" + GAME2),
                 (None, "127.0.0.2", ["b.gameLS.gameR." + DOMAIN], " -gr=b.gameLS -gl=" + GAME2),
                 (None, "127.0.0.2", ["x.gamer." + DOMAIN], ""),  # markers are case-sensitive
                 (None, "127.0.0.1", both, None),  # None: no question asked, no servers passed
                 ("nt40", "127.0.0.2", both, None))
        for version, address, records, servers in cases:
            with self.subTest(version=version, address=address, records=records):
                self.set_state(windows_version=version)
                self.map_game_host(address)
                responder.records, asked = records, responder.questions
                command, log = self.launch(install, "bin\\demo_client.exe")
                self.assertEqual(command, "bin\\demo_client.exe -a=" + (servers or ""), log)
                self.assertEqual(responder.questions > asked, servers is not None, "asked the name servers")
        command, log = self.launch(blanks, "Quenzar Client.exe")
        self.assertEqual(command, '"Quenzar Client.exe" -a=', log)


if __name__ == "__main__":
    velorin_env.main()
