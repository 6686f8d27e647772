#!/usr/bin/env python3
"""The service names every scenario leans on: each host the build may contact resolves, through /etc/hosts
and through dnsmasq, to its loopback address."""

import os
import re
import socket
import unittest

import velorin_env
from velorin_env import Config


class ServiceOnOneMachine(unittest.TestCase):
    def test_every_host_of_the_build_resolves(self):
        for entry in Config.host_entries:
            name, _, address = entry.partition("=")
            self.assertEqual((socket.gethostbyname(name), velorin_env.dns_query(name)), (address or "127.0.0.1",) * 2)
        # The game domain is asked for DNS records only, never contacted.
        with open(os.path.join(Config.source, "CMakeLists.txt")) as f:
            defaults = dict(re.findall(r'set\((VELORIN_HOST_\w+) "([^"]*)" CACHE', f.read()))
        self.assertEqual(len(defaults), 9, defaults)
        del defaults["VELORIN_HOST_GAME_DOMAIN"]
        self.assertEqual(set(defaults.values()) - set(velorin_env.DEFAULT_SERVICE_HOSTS), set())


if __name__ == "__main__":
    velorin_env.main()
