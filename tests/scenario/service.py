#!/usr/bin/env python3
"""The Quenzar service on one machine (arguments ROOT LOG RULES): files from ROOT/<host>/<path>, else ROOT/<path>, each
request logged to LOG as a JSON line. Fault rules in RULES, re-read on change: {"rules": [{"path", "host" (optional),
"times": first N matches only, "action": "status" (+"body"), "redirect" (302 to "location"), "close_after" (announce the
whole body, send "bytes", close), "ignore_range", "body" (200 with it), "stall" ("seconds", at most 60)}]}."""

import http.server
import json
import os
import pathlib
import re
import sys
import threading
import time


class Rules:
    def __init__(self, path):
        self.path, self.lock, self.stamp, self.rules, self.used = path, threading.Lock(), None, [], {}

    def match(self, host, path):
        with self.lock:
            stat = os.stat(self.path) if os.path.exists(self.path) else None
            stamp = stat and (stat.st_mtime_ns, stat.st_size)  # the size too: two writes can share a time stamp
            if stamp != self.stamp:
                self.stamp, self.used = stamp, {}
                self.rules = json.loads((stat and pathlib.Path(self.path).read_text("utf-8")) or "{}").get("rules", [])
            for index, rule in enumerate(self.rules):
                if any(rule.get(k) not in (None, v) for k, v in (("path", path), ("host", host))):
                    continue
                if rule.get("times") is not None and self.used.get(index, 0) >= rule["times"]:
                    continue
                self.used[index] = self.used.get(index, 0) + 1
                return rule
        return None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuenzarTestService/1"

    def log_message(self, format, *args):  # the JSON log is the record
        pass

    def _serve(self):
        host = (self.headers.get("Host") or "").split(":")[0].lower()
        path = self.path.split("?", 1)[0]
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        # Latin-1 keeps every byte of a form or binary body recoverable.
        self.entry = {"time": time.time(), "method": self.command, "host": host, "target": self.path,
                      "path": path, "headers": [[k, v] for k, v in self.headers.items()],
                      "body": body.decode("latin-1")}
        self.logged = False
        try:
            self._answer(host, path)
        finally:
            self._log()

    do_GET = do_POST = _serve

    def _log(self):
        # Written before the answer goes out: a client that has its answer finds its request logged.
        if not self.logged:
            self.logged = True
            with self.server.log_lock, open(self.server.log, "a", encoding="utf-8") as f:
                f.write(json.dumps(self.entry, sort_keys=True) + "\n")

    def _answer(self, host, path):
        rule = self.server.rules.match(host, path)
        action = rule.get("action") if rule else None
        self.entry["fault"] = action
        if action == "stall":
            time.sleep(min(float(rule.get("seconds", 1)), 60))
        if action in ("status", "body"):
            return self._send(int(rule.get("status", 200)), rule.get("body", "").encode("latin-1"))
        if action == "redirect":
            return self._send(302, b"", {"Location": rule["location"]})
        data = self._read_file(host, path)
        if data is None:
            return self._send(404, b"not found\n")
        m = re.fullmatch(r"bytes=(\d+)-(\d*)", (self.headers.get("Range") or "").strip())
        if m and action != "ignore_range":
            start = int(m.group(1))
            end = min(len(data), int(m.group(2)) + 1) if m.group(2) else len(data)
            if start >= len(data) or start >= end:
                return self._send(416, b"", {"Content-Range": "bytes */%d" % len(data)})
            headers = {"Content-Range": "bytes %d-%d/%d" % (start, end - 1, len(data))}
            return self._send(206, data[start:end], headers, rule)
        return self._send(200, data, {}, rule)

    def _read_file(self, host, path):
        relative = os.path.normpath(path.lstrip("/"))
        if relative.startswith("..") or os.path.isabs(relative):
            return None
        for candidate in (os.path.join(self.server.root, host, relative), os.path.join(self.server.root, relative)):
            if os.path.isfile(candidate):
                return pathlib.Path(candidate).read_bytes()
        return None

    def _send(self, status, data, headers=None, rule=None):
        cut = rule and rule.get("action") == "close_after"
        sent = data[:int(rule["bytes"])] if cut else data
        self.entry.update(status=status, sent=len(sent))
        self._log()
        self.send_response(status)
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        if cut:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.write(sent)
        self.wfile.flush()


def main():
    root, log, rules = sys.argv[1:]
    # All addresses: some names map to 127.0.0.x other than 127.0.0.1.
    server = http.server.ThreadingHTTPServer(("0.0.0.0", 80), Handler)
    server.root, server.log, server.log_lock = os.path.abspath(root), log, threading.Lock()
    server.rules = Rules(rules)
    server.serve_forever(poll_interval=0.2)


if __name__ == "__main__":
    main()
