#!/usr/bin/env python3
"""The Quenzar service on one machine, for scenario tests and the demo.

One HTTP server for every service host name: requests are routed by the Host
header and the path to static files under a document root, first
ROOT/<host>/<path>, then ROOT/<path>. Every request is appended to a JSON-lines
log (method, host, path, headers, body, and what was answered), which the
scenario reads afterwards.

Faults are injected by rules in a JSON file that the scenario may rewrite
while the service runs (it is re-read when it changes):

    {"rules": [{"path": "/product.txt", "host": "update1.example",  # optional
                "method": "GET",                                   # optional
                "times": 1,            # apply to the first N matches only
                "action": "close_after", "bytes": 1000}]}

Actions: "status" (answer "status" with an optional "body"), "redirect"
(302 to "location"), "close_after" (announce the whole body, send "bytes"
bytes of it, then close), "ignore_range" (answer 200 with the whole file even
to a Range request), "body" (answer 200 with the text of "body"), "stall"
(wait "seconds", at most 60, then answer normally).

Only the Python standard library is used.
"""

import argparse
import http.server
import json
import os
import re
import sys
import threading
import time

MAX_STALL_SECONDS = 60


class Rules:
    """The fault rules of one scenario, reloaded when their file changes."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.stamp = None
        self.rules = []
        self.used = {}

    def _reload(self):
        if not self.path:
            return
        try:
            stat = os.stat(self.path)
            stamp = (stat.st_mtime_ns, stat.st_size)
        except FileNotFoundError:
            stamp = None
        if stamp == self.stamp:
            return
        self.stamp = stamp
        self.used = {}
        self.rules = []
        if stamp is not None:
            with open(self.path, encoding="utf-8") as f:
                self.rules = json.load(f).get("rules", [])

    def match(self, method, host, path):
        with self.lock:
            self._reload()
            for index, rule in enumerate(self.rules):
                if rule.get("path") not in (None, path):
                    continue
                if rule.get("host") not in (None, host):
                    continue
                if rule.get("method") not in (None, method):
                    continue
                times = rule.get("times")
                if times is not None and self.used.get(index, 0) >= times:
                    continue
                self.used[index] = self.used.get(index, 0) + 1
                return rule
        return None


class RequestLog:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()

    def write(self, entry):
        line = json.dumps(entry, sort_keys=True)
        with self.lock, open(self.path, "a", encoding="utf-8") as f:
            f.write(line + "\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuenzarTestService/1"

    def log_message(self, format, *args):  # the JSON log is the record
        pass

    def do_GET(self):
        self._serve()

    def do_HEAD(self):
        self._serve()

    def do_POST(self):
        self._serve()

    def _serve(self):
        host = (self.headers.get("Host") or "").split(":")[0].lower()
        path = self.path.split("?", 1)[0]
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        self.entry = {
            "time": time.time(),
            "method": self.command,
            "host": host,
            "target": self.path,
            "path": path,
            "headers": [[k, v] for k, v in self.headers.items()],
            # Latin-1 keeps every byte of a form or binary body recoverable.
            "body": body.decode("latin-1"),
        }
        self.logged = False
        try:
            self._answer(host, path)
        finally:
            self._log()

    def _log(self):
        # Written before the answer goes out, so that a client that has its
        # answer always finds its request in the log.
        if not self.logged:
            self.logged = True
            self.server.request_log.write(self.entry)

    def _answer(self, host, path):
        rule = self.server.rules.match(self.command, host, path)
        action = rule.get("action") if rule else None
        self.entry["fault"] = action
        if action == "stall":
            time.sleep(min(float(rule.get("seconds", 1)), MAX_STALL_SECONDS))
        if action == "status":
            return self._send(int(rule["status"]), rule.get("body", "").encode("latin-1"))
        if action == "redirect":
            return self._send(302, b"", {"Location": rule["location"]})
        if action == "body":
            return self._send(200, rule["body"].encode("latin-1"))

        data = self._read_file(host, path)
        if data is None:
            return self._send(404, b"not found\n")
        start, end = 0, len(data)
        range_header = self.headers.get("Range")
        if range_header and action != "ignore_range":
            m = re.fullmatch(r"bytes=(\d+)-(\d*)", range_header.strip())
            if m:
                start = int(m.group(1))
                if m.group(2):
                    end = min(end, int(m.group(2)) + 1)
                if start >= len(data) or start >= end:
                    return self._send(416, b"", {"Content-Range": "bytes */%d" % len(data)})
                headers = {"Content-Range": "bytes %d-%d/%d" % (start, end - 1, len(data))}
                return self._send(206, data[start:end], headers, rule)
        return self._send(200, data, {}, rule)

    def _read_file(self, host, path):
        root = self.server.root
        relative = os.path.normpath(path.lstrip("/"))
        if relative.startswith("..") or os.path.isabs(relative):
            return None
        candidates = [os.path.join(root, host, relative)] if host else []
        for candidate in candidates + [os.path.join(root, relative)]:
            if os.path.isfile(candidate):
                with open(candidate, "rb") as f:
                    return f.read()
        return None

    def _send(self, status, data, headers=None, rule=None):
        cut = rule and rule.get("action") == "close_after"
        sent = data[: int(rule["bytes"])] if cut else data
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
        if self.command != "HEAD":
            self.wfile.write(sent)
        self.wfile.flush()


class Service(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="document root")
    parser.add_argument("--log", required=True, help="JSON-lines request log")
    parser.add_argument("--rules", help="JSON file of fault rules")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    args = parser.parse_args()

    server = Service((args.address, args.port), Handler)
    server.root = os.path.abspath(args.root)
    server.rules = Rules(args.rules)
    server.request_log = RequestLog(args.log)
    print("serving %s on %s:%d" % (server.root, args.address, args.port), flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
