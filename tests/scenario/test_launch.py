#!/usr/bin/env python3
"""The client launch and its DNS hand-over, run by launch_probe.exe (the launch
as the window runs it after an update, which velorin.exe reaches only with
downloads): the first default game host at 127.0.0.2 makes it ask the game
domain's name servers, whose A records name the servers passed to the demo
client; any other address, or Windows NT 4.0, passes none."""

import os
import shutil
import socket
import struct
import subprocess
import threading

import velorin_env
from velorin_env import Config, ScenarioGroup

DOMAIN = "games.quenzar.test"
GAME1, GAME2 = "game1.games.quenzar.test", "game2.games.quenzar.test"
RESPONDER_PORT = 5353
# dnsmasq hands the game domain's questions to the responder below, which
# answers an NS question with NS records and the A records of the scenario.
Config.dns_options = ["--server=/%s/127.0.0.1#%d" % (DOMAIN, RESPONDER_PORT)]


def _name(text):
    return b"".join(bytes([len(p)]) + p.encode() for p in text.split(".")) + b"\0"


class Responder(threading.Thread):
    def __init__(self):
        super().__init__(daemon=True)
        self.records = []  # names of A records in the additional section
        self.questions = 0
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", RESPONDER_PORT))

    def run(self):
        while True:
            try:
                packet, peer = self.sock.recvfrom(1500)
            except OSError:
                return
            ident, _, count = struct.unpack_from(">HHH", packet)
            end = 12
            while packet[end]:
                end += packet[end] + 1
            question = packet[12:end + 5]
            qtype = struct.unpack_from(">H", packet, end + 1)[0]
            self.questions += 1
            answers, extra = [], []
            if qtype == 2:
                for i, name in enumerate(self.records):
                    answers.append(b"\xc0\x0c" + struct.pack(">HHIH", 2, 1, 60, len(_name(name))) + _name(name))
                    extra.append(_name(name) + struct.pack(">HHIH", 1, 1, 60, 4) + bytes([127, 0, 0, 10 + i]))
            header = struct.pack(">HHHHHH", ident, 0x8180, 1, len(answers), 0, len(extra))
            self.sock.sendto(header + question + b"".join(answers) + b"".join(extra), peer)


class DnsHandOver(ScenarioGroup):
    def setUp(self):
        self.responder = Responder()
        self.responder.start()
        self.addCleanup(self.responder.sock.close)
        self.install = self.prefix.c("Quenzar")
        os.makedirs(os.path.join(self.install, "bin"), exist_ok=True)
        shutil.copy2(Config.demo_client, os.path.join(self.install, "bin", "demo_client.exe"))
        shutil.copy2(Config.launch_probe, os.path.join(self.workdir, "launch_probe.exe"))

    def map_game_host(self, address):
        """/etc/hosts of the namespace, rewritten in place: the first default game host's address."""
        with open(os.path.join(Config.workdir, "hosts")) as f:
            lines = [line for line in f.read().splitlines() if not line.endswith(" " + GAME1)]
        with open(os.path.join(Config.workdir, "hosts"), "w") as f:
            f.write("\n".join(lines + ["%s %s" % (address, GAME1)]) + "\n")

    def launch(self, install=None, program="bin\\demo_client.exe"):
        """The demo client's command line after one launch, and the launch's log."""
        install = install or self.install
        record = os.path.join(self.workdir, "client.txt")
        if os.path.exists(record):
            os.remove(record)
        env = dict(self.prefix.env, DEMO_CLIENT_RECORD=self.prefix.win(record), DEMO_CLIENT_MODE="end")
        result = subprocess.run([velorin_env.wine(), self.prefix.win(os.path.join(self.workdir, "launch_probe.exe")),
                                 self.prefix.win(install), program],
                                env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run([velorin_env.wineserver(), "-w"], env=self.prefix.env, timeout=60)
        log = result.stdout.decode("latin-1")
        self.assertTrue(os.path.exists(record), log)
        with open(record) as f:
            fields = dict(field.split("=", 1) for field in f.read().rstrip("\n").split("\t"))
        self.assertEqual(fields["cwd"].lower(), self.prefix.win(install).lower())
        return fields["cmdline"], log

    def test_servers_named_by_the_game_domain(self):
        self.set_state()
        self.map_game_host("127.0.0.2")
        cases = (
            (["x.gameR." + DOMAIN, "y.gameLS." + DOMAIN], " -gr=x -gl=y"),
            (["x.gameR." + DOMAIN], " -gr=x -gl=" + GAME2),
            (["b.gameLS.gameR." + DOMAIN], " -gr=b.gameLS -gl=" + GAME2),
            (["x.gamer." + DOMAIN], ""),  # markers are case-sensitive: nothing matched
        )
        for records, servers in cases:
            with self.subTest(records=records):
                self.responder.records = records
                asked = self.responder.questions
                command, log = self.launch()
                self.assertGreater(self.responder.questions, asked, log)
                self.assertEqual(command, "bin\\demo_client.exe -a=" + servers, log)

    def test_no_hand_over_on_another_address_or_before_windows_2000(self):
        self.responder.records = ["x.gameR." + DOMAIN, "y.gameLS." + DOMAIN]
        for version, address in ((None, "127.0.0.1"), ("nt40", "127.0.0.2")):
            with self.subTest(version=version, address=address):
                self.set_state(windows_version=version)
                self.map_game_host(address)
                asked = self.responder.questions
                command, log = self.launch()
                self.assertEqual(command, "bin\\demo_client.exe -a=", log)
                self.assertEqual(self.responder.questions, asked, "no DNS query was made")


    def test_blanks_in_the_folder_and_the_name_start_the_client_itself(self):
        # Unquoted, "Quenzar Client.exe" would first be tried as "Quenzar",
        # and the stub's installed name "Quenzar.exe" beside it would start.
        self.set_state()
        self.map_game_host("127.0.0.1")
        install = self.prefix.c("Quenzar Games")
        os.makedirs(install, exist_ok=True)
        shutil.copy2(Config.demo_client, os.path.join(install, "Quenzar Client.exe"))
        shutil.copy2(Config.launch_probe, os.path.join(install, "Quenzar.exe"))
        command, log = self.launch(install, "Quenzar Client.exe")
        self.assertEqual(command, '"Quenzar Client.exe" -a=', log)


if __name__ == "__main__":
    velorin_env.main()
