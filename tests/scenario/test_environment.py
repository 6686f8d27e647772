#!/usr/bin/env python3
"""The service on one machine itself: names, routing, ranges, faults and the request log, which
every later scenario leans on (a fault here would show there as a misleading failure)."""

import http.client
import os
import re
import socket
import tempfile
import unittest

import velorin_env
from velorin_env import Config, Service


class ServiceOnOneMachine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.service = Service(tempfile.mkdtemp(dir=Config.workdir))
        cls.addClassCleanup(cls.service.stop)
        cls.service.start()
        cls.body = bytes(range(256)) * 40
        cls.host = Config.hosts[0]
        os.makedirs(os.path.join(cls.service.root, cls.host))
        with open(os.path.join(cls.service.root, "shared.bin"), "wb") as f:
            f.write(cls.body)
        with open(os.path.join(cls.service.root, cls.host, "product.txt"), "w") as f:
            f.write("for %s only\n" % cls.host)

    def get(self, path, host=None, headers=None, method="GET", body=None):
        connection = http.client.HTTPConnection(host or self.host, 80, timeout=10)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def test_every_host_of_the_build_resolves_and_is_served(self):
        for entry in Config.host_entries:
            name, _, address = entry.partition("=")
            self.assertEqual((socket.gethostbyname(name), velorin_env.dns_query(name)), (address or "127.0.0.1",) * 2)
        # The game domain is asked for DNS records only, never contacted.
        with open(os.path.join(Config.source, "CMakeLists.txt")) as f:
            defaults = dict(re.findall(r'set\((VELORIN_HOST_\w+) "([^"]*)" CACHE', f.read()))
        self.assertEqual(len(defaults), 9, defaults)
        del defaults["VELORIN_HOST_GAME_DOMAIN"]
        self.assertEqual(set(defaults.values()) - set(velorin_env.DEFAULT_SERVICE_HOSTS), set())

    def test_routing_ranges_faults_and_the_request_log(self):
        other = Config.hosts[1]
        self.assertEqual(self.get("/product.txt")[2], b"for %s only\n" % self.host.encode())
        self.assertEqual([self.get("/product.txt", host=other)[0], self.get("/../hosts")[0]], [404, 404])
        self.assertEqual(self.get("/shared.bin?x=1", host=other)[2], self.body)
        status, headers, data = self.get("/shared.bin", headers={"Range": "bytes=1000-"})
        self.assertEqual((status, data, headers["Content-Range"]),
                         (206, self.body[1000:], "bytes 1000-%d/%d" % (len(self.body) - 1, len(self.body))))
        self.assertEqual(self.get("/shared.bin", headers={"Range": "bytes=%d-" % len(self.body)})[0], 416)

        self.service.set_rules([
            {"path": "/shared.bin", "action": "close_after", "bytes": 100, "times": 1},
            {"path": "/product.txt", "action": "status", "status": 404, "times": 1},
            {"path": "/moved", "action": "redirect", "location": "http://%s/shared.bin" % self.host},
            {"path": "/shared.bin", "host": other, "action": "ignore_range"},
            {"path": "/maintenance.php", "action": "body", "body": "down for maintenance"}])
        self.addCleanup(self.service.set_rules, [])
        with self.assertRaises(http.client.IncompleteRead) as cut:
            self.get("/shared.bin")
        self.assertEqual(len(cut.exception.partial), 100)
        self.assertEqual(self.get("/shared.bin")[2], self.body, "a rule with times=1 applies once")
        self.assertEqual([self.get("/product.txt")[0], self.get("/product.txt")[0]], [404, 200])
        status, headers, _ = self.get("/moved")
        self.assertEqual((status, headers["Location"]), (302, "http://%s/shared.bin" % self.host))
        self.assertEqual(self.get("/maintenance.php")[2], b"down for maintenance")
        self.assertEqual(self.get("/shared.bin", host=other, headers={"Range": "bytes=10-"})[::2], (200, self.body))

        before = len(self.service.requests())
        self.get("/bug.php", method="POST", body=b"DATA=\x00\xff", headers={"X-Probe": "1"})
        entry = self.service.requests()[before]
        self.assertEqual((entry["method"], entry["host"], entry["path"], entry["status"]),
                         ("POST", self.host, "/bug.php", 404))
        self.assertEqual(entry["body"].encode("latin-1"), b"DATA=\x00\xff")
        self.assertIn(["X-Probe", "1"], entry["headers"])


if __name__ == "__main__":
    velorin_env.main()
