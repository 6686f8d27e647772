#!/usr/bin/env python3
"""Scenarios of an update: an installed client brought up to date by the real
velorin.exe against the service, from a release published by velorin-release.

Checked by what a player and an operator see: the files in the install folder,
the service's request log, the registry, the boxes, and no temporary file
left behind.
"""

import os
import shutil
import subprocess
import time

import release_builder as rb
import velorin_env
from velorin_env import MAIN_CLASS, WM_CLOSE, ScenarioGroup, main, parse_records, unreachable

# The secondary update server and the download server get addresses of their
# own, so that a scenario can make one of them unreachable (a refused
# connection, as for a host that is down) while the others answer.
UPDATE2_ADDRESS = "127.0.0.2"
DOWNLOAD_ADDRESS = "127.0.0.3"
if not os.environ.get("VELORIN_SERVICE_HOSTS"):
    velorin_env.Config.host_entries = [
        {"update2.quenzar.test": "update2.quenzar.test=" + UPDATE2_ADDRESS,
         "download.quenzar.test": "download.quenzar.test=" + DOWNLOAD_ADDRESS}.get(name, name)
        for name in velorin_env.DEFAULT_SERVICE_HOSTS]

IDOK = 1
DOWNLOAD_HOST = rb.BASE_HOST
MAINTENANCE = "/client/php/ServerStatus/maintenance.php"
UPDATE_PAGE = "/client/php/flash8/index.php?mode=update"


class UpdateGroup(ScenarioGroup):
    """A client release on the service and an install folder recorded in "CWD"."""

    files = None

    def setUp(self):
        super().setUp()
        self.install = self.prefix.c("Quenzar")
        shutil.rmtree(self.install, ignore_errors=True)
        os.makedirs(self.install)
        self.service.set_rules([])
        self.set_state(settings={"CWD": self.prefix.win(self.install)})
        self.clear_log()

    def clear_log(self):
        open(self.service.log, "w").close()

    def publish(self, files, **kwargs):
        self.files = files
        return rb.publish(self.workdir, files, self.service.root, **kwargs)

    def expected_paths(self):
        """The files an update fetches into an empty folder."""
        return sorted(p for p in self.files if p not in (rb.INSTALLER, rb.UNCHECKED))

    def installed(self, path):
        full = os.path.join(self.install, *path.split("/"))
        if not os.path.exists(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def install_current(self, paths=None):
        """Puts the release's files in the install folder as a finished update leaves them."""
        for path in paths or self.expected_paths():
            full = os.path.join(self.install, *path.split("/"))
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(self.files[path])

    def file_requests(self):
        return [r for r in self.service.requests() if r["path"].startswith("/client/r")]

    def temp_files(self):
        """Temporary download files ("cci*.tmp") anywhere on drive C:."""
        found = []
        for folder, _, names in os.walk(self.prefix.c()):
            found += [os.path.join(folder, n) for n in names if n.lower().startswith("cci") and n.lower().endswith(".tmp")]
        return found

    def run_update(self, timeout=120):
        program = self.start()
        code = program.wait(timeout)
        self.prefix.stop()
        return code

    def assert_whole(self, paths):
        for path in paths:
            self.assertEqual(self.installed(path), self.files[path], "%s stored byte-identical" % path)

    def assert_ends_with_box(self, program, title, text, timeout=60):
        box = self.dialog(title=title, timeout=timeout)
        self.assertEqual(box["texts"], [text])
        self.driver.press(box["hwnd"], control_id=IDOK)
        self.assertEqual(program.wait(30), 0)
        self.prefix.stop()


class UpdateStory(UpdateGroup):
    def test_fresh_folder_then_current_then_one_stale_file(self):
        lines = self.publish(rb.story_files())
        self.assertGreaterEqual(len(lines), 30)

        # A folder with nothing in it: every file fetched once and stored.
        watcher = self.driver.watch("watchprogress", window_class=MAIN_CLASS, timeout_ms=90000)
        self.assertEqual(self.run_update(), 0)
        progress = [r for r in parse_records(watcher.finish()) if r.get("shown") == 1]
        # The bar runs once over the whole update: its range is set once, to
        # every byte the update fetches, and its position only grows, to that.
        fetched_bytes = sum(int(f[3]) for f in lines if f[4] != b"8" and f[2] != b"0")
        self.assertTrue(progress, "the progress bar was shown")
        self.assertEqual({r["range"] for r in progress}, {fetched_bytes}, progress)
        positions = [r["pos"] for r in progress]
        self.assertEqual(positions, sorted(positions), "the bar never moves back")
        self.assertEqual(positions[-1], fetched_bytes, "the bar ends full")
        paths = self.expected_paths()
        self.assert_whole(paths)
        self.assertIsNone(self.installed(rb.INSTALLER), "the installer is never fetched")
        self.assertIsNone(self.installed(rb.UNCHECKED), "a checksum-0 entry is never fetched")
        self.assertEqual(self.installed("data/empty.cfg"), b"", "an empty file is stored empty")
        for path in paths:
            if rb.is_compressed(path):
                self.assertIsNone(self.installed(path + ".z"), "stored without its .z")
        requests = self.service.requests()
        self.assertTrue(all(r["method"] == "GET" for r in requests))
        self.assertEqual([(r["host"], r["path"]) for r in requests if r["path"] == "/product.txt"],
                         [("update1.quenzar.test", "/product.txt")])
        fetched = sorted(r["path"] for r in self.file_requests())
        self.assertEqual(fetched, sorted(rb.served_path(p, compressed=rb.is_compressed(p)) for p in paths),
                         "one GET per file, nothing else")
        self.assertTrue(all(r["status"] == 200 for r in self.file_requests()))
        self.assertEqual([r["path"] for r in requests][-1], MAINTENANCE, "the status check ends the update")
        others = [r["target"] for r in requests if not r["path"].startswith("/client/r")]
        # Besides the files: the manifest, the page the window shows while it
        # downloads, and the status check.
        self.assertEqual(others, ["/product.txt", UPDATE_PAGE, MAINTENANCE])
        self.assertEqual(self.temp_files(), [])
        settings = self.settings()
        # The launch follows the update: its record names the stored primary
        # executable and that file's checksum (the process id is Wine's).
        last_run = settings.pop("lastRun", "").split(" ")
        self.assertEqual(settings, {"CWD": self.prefix.win(self.install), "lastSRun": self.version_text()})
        self.assertEqual(len(last_run), 3, last_run)
        self.assertEqual([last_run[0], last_run[2]],
                         [".\\" + rb.PRIMARY.replace("/", "\\"), str(rb.checksum(self.files[rb.PRIMARY]))])

        # Everything current: no file request at all, straight to the start.
        self.clear_log()
        self.assertEqual(self.run_update(), 0)
        self.assertEqual([r["path"] for r in self.service.requests()], ["/product.txt", MAINTENANCE])

        # One stale file among many (and one whose copy is longer): exactly those.
        stale = "art/cards/file03.bin"
        with open(os.path.join(self.install, "art", "cards", "file03.bin"), "r+b") as f:
            f.write(b"\0\1\2")
        longer = [p for p in paths if rb.is_compressed(p)][0]
        with open(os.path.join(self.install, *longer.split("/")), "ab") as f:
            f.write(b"more")
        self.clear_log()
        self.assertEqual(self.run_update(), 0)
        self.assertEqual(sorted(r["path"] for r in self.file_requests()),
                         sorted([rb.served_path(stale), rb.served_path(longer, compressed=True)]))
        self.assert_whole(paths)
        self.assertEqual(self.temp_files(), [])


def small_files():
    files = rb.story_files(count=8, seed=11)
    files["art/big.bin"] = os.urandom(3_000_000)
    return files


class ServerFaults(UpdateGroup):
    """Which server answers the manifest, and when the run gives up."""

    def test_primary_fails_secondary_serves_or_retry_or_box(self):
        self.publish(small_files())
        paths = self.expected_paths()

        # Primary 404: the secondary's manifest is used.
        self.service.set_rules([{"path": "/product.txt", "host": "update1.quenzar.test", "action": "status",
                                 "status": 404}])
        self.assertEqual(self.run_update(), 0)
        self.assert_whole(paths)
        self.assertEqual([(r["host"], r["status"]) for r in self.service.requests() if r["path"] == "/product.txt"],
                         [("update1.quenzar.test", 404), ("update2.quenzar.test", 200)])

        # Primary 404 and the secondary unreachable: a second later the whole
        # fetch is tried again, and succeeds now that the service is back.
        shutil.rmtree(self.install)
        os.makedirs(self.install)
        self.clear_log()
        self.service.set_rules([
            {"path": "/product.txt", "host": "update1.quenzar.test", "action": "status", "status": 404, "times": 1}])
        with unreachable(UPDATE2_ADDRESS):
            self.assertEqual(self.run_update(), 0)
        self.assert_whole(paths)
        manifest = [r for r in self.service.requests() if r["path"] == "/product.txt"]
        self.assertEqual([(r["host"], r["status"]) for r in manifest],
                         [("update1.quenzar.test", 404), ("update1.quenzar.test", 200)])
        self.assertGreaterEqual(manifest[1]["time"] - manifest[0]["time"], 0.9, "the retry waits a second")

        # Both answer 404: the error box, and the run ends with nothing fetched.
        shutil.rmtree(self.install)
        os.makedirs(self.install)
        self.clear_log()
        self.service.set_rules([{"path": "/product.txt", "action": "status", "status": 404}])
        program = self.start()
        self.assert_ends_with_box(program, "Error",
                                  "The server is experiencing technical difficulties. Please try again later!")
        self.assertEqual(os.listdir(self.install), [])
        self.assertEqual([r["path"] for r in self.service.requests()], ["/product.txt", "/product.txt"])


class BrokenTransfers(UpdateGroup):
    """Transfers cut off and resumed; each resume waits five seconds."""

    def test_cut_transfers_resume_and_are_stored_whole(self):
        self.publish(small_files())
        paths = self.expected_paths()
        compressed = [p for p in paths if rb.is_compressed(p)][0]
        restarted = "art/big.bin"
        plain = rb.PRIMARY
        self.service.set_rules([
            {"path": rb.served_path(plain), "action": "close_after", "bytes": 1000, "times": 1},
            {"path": rb.served_path(compressed, compressed=True), "action": "close_after", "bytes": 300,
             "times": 1},
            # Cut, and the resumed request answered 200 with the whole file.
            {"path": rb.served_path(restarted), "action": "close_after", "bytes": 100000, "times": 1},
            {"path": rb.served_path(restarted), "action": "ignore_range", "times": 1},
        ])
        self.assertEqual(self.run_update(timeout=180), 0)
        self.assert_whole(paths)
        by_path = {}
        for r in self.file_requests():
            by_path.setdefault(r["path"], []).append(r)
        for path, cut, second_status in ((plain, 1000, 206), (compressed, 300, 206), (restarted, 100000, 200)):
            served = rb.served_path(path, compressed=rb.is_compressed(path))
            first, second = by_path[served]
            self.assertEqual(first["sent"], cut)
            headers = dict(second["headers"])
            self.assertEqual(headers.get("Range"), "bytes=%d-" % cut)
            self.assertEqual(second["status"], second_status)
            self.assertGreaterEqual(second["time"] - first["time"], 4.5, "resumed after about 5 s")
            self.assertLess(second["time"] - first["time"], 15)
        self.assertEqual(self.temp_files(), [])


class BadAnswers(UpdateGroup):
    """Answers that end the run, each with its box; what was stored stays whole."""

    def test_redirect_bad_stream_and_locked_files(self):
        files = small_files()
        lines = self.publish(files)
        paths = self.expected_paths()
        order = [l[1].decode().replace("\\", "/").lstrip("./") for l in lines]
        victim = [p for p in order if p in paths][2]  # two files stored before it

        # A 302 on a file.
        self.service.set_rules([{"path": rb.served_path(victim, compressed=rb.is_compressed(victim)),
                                 "action": "redirect", "location": "http://www.quenzar.test/"}])
        program = self.start()
        self.assert_ends_with_box(program, "Error",
                                  "There is a problem with the files on the server.  Please try again later!")
        before = [p for p in order if p in paths][:2]
        self.assert_whole(before)
        self.assertIsNone(self.installed(victim))
        self.assertEqual(self.temp_files(), [])

        # A compressed entry whose stream does not inflate to the listed size:
        # every byte arrived, so the server's file is at fault; never stored.
        compressed = [p for p in paths if rb.is_compressed(p)][0]
        served = os.path.join(self.service.root, *rb.served_path(compressed, compressed=True).lstrip("/").split("/"))
        with open(served, "rb") as f:
            stream = f.read()
        import zlib
        short = zlib.compress(files[compressed][:-1])
        manifest = os.path.join(self.service.root, "product.txt")
        with open(manifest, "rb") as f:
            text = f.read()
        changed = text.replace(b"|%d|" % len(stream) + b"0|1|", b"|%d|" % len(short) + b"0|1|", 1)
        self.assertNotEqual(changed, text, "the manifest lists the shorter stream")
        text = changed
        with open(manifest, "wb") as f:
            f.write(text)
        with open(served, "wb") as f:
            f.write(short)
        self.service.set_rules([])
        self.clear_log()
        program = self.start()
        self.assert_ends_with_box(program, "Error",
                                  "There is a problem with the files on the server.  Please try again later!")
        self.assertIsNone(self.installed(compressed))
        self.assertEqual(self.temp_files(), [])
        shutil.copy2(os.path.join(self.workdir, "release-r7", "product.txt"), manifest)
        with open(served, "wb") as f:
            f.write(stream)

        # A stored file held open by another process (with no launch recorded,
        # so nothing to end): counted as locked, checked twice, and the run
        # ends with its box before anything is fetched.
        self.install_current()
        held = rb.PRIMARY
        self.clear_log()
        with self.driver.hold(os.path.join(self.prefix.win(self.install), *held.split("/")).replace("/", "\\")):
            program = self.start()
            self.assert_ends_with_box(program, "Error", "Unable to play poker; please restart your computer")
        self.assertEqual([r["path"] for r in self.service.requests()], ["/product.txt"])
        self.assertEqual(self.installed(held), files[held], "the held copy is untouched")

        # A missing file whose folder cannot be written (and holds no other
        # client file, which would count as locked): fetched, and storing it
        # fails with the saving box.
        held = [p for p in paths
                if [q for q in paths if q.startswith(p.rsplit("/", 1)[0] + "/")] == [p]][0]
        folder = os.path.dirname(os.path.join(self.install, *held.split("/")))
        os.remove(os.path.join(self.install, *held.split("/")))
        self.clear_log()
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        subprocess.run(["mount", "-o", "remount,bind,ro", folder], check=True)
        try:
            program = self.start()
            self.assert_ends_with_box(program, "Download Error",
                                      "There was a problem saving files to your computer.  You may not have "
                                      "permissions or enough space available to save files!")
        finally:
            subprocess.run(["umount", folder], check=True)
        self.assertIsNone(self.installed(held))
        self.assert_whole([p for p in paths if p != held])
        self.assertEqual(self.temp_files(), [])

        # A client file that refuses to be opened for writing with access
        # denied counts as locked: checked twice, then the run ends with its
        # box and nothing is fetched. (Under Wine a file held open gives a
        # sharing violation, and root ignores read-only bits; a folder where
        # the file should be is refused with access denied on every system.)
        locked = os.path.join(self.install, *paths[0].split("/"))
        os.remove(locked)
        os.makedirs(locked)
        self.clear_log()
        program = self.start()
        self.assert_ends_with_box(program, "Error", "Unable to play poker; please restart your computer")
        os.rmdir(locked)
        self.assertEqual([r["path"] for r in self.service.requests()], ["/product.txt"])


class Maintenance(UpdateGroup):
    """The status check before the start, with every file current."""

    def test_maintenance_answers(self):
        self.publish(rb.story_files(count=6, seed=3))
        self.install_current()
        go_ahead = [("OK inside other text", {"action": "body", "body": "Servers: OK, all good"}),
                    ("404", {"action": "status", "status": 404})]
        for what, rule in go_ahead:
            self.clear_log()
            self.service.set_rules([dict(rule, path=MAINTENANCE)])
            self.assertEqual(self.run_update(), 0, what)
            self.assertEqual([r["path"] for r in self.service.requests()], ["/product.txt", MAINTENANCE], what)
        self.clear_log()
        with unreachable(DOWNLOAD_ADDRESS):
            self.assertEqual(self.run_update(), 0, "unreachable")
        self.assertEqual([r["path"] for r in self.service.requests()], ["/product.txt"])

        for what, body in (("no OK", "MAINTENANCE"), ("lower-case ok", "ok")):
            self.clear_log()
            self.service.set_rules([{"path": MAINTENANCE, "action": "body", "body": body}])
            program = self.start()
            window = self.main_window()
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline and self.refresh_height(window) != 345:
                time.sleep(0.2)
            self.assertEqual(self.refresh_height(window), 345, "%s: the large form" % what)
            time.sleep(1.5)
            self.assertTrue(program.running(), "%s: the client is not started" % what)
            self.cancel(program, window)
            paths = [r["path"] for r in self.service.requests()]
            self.assertEqual(paths[:2], ["/product.txt", MAINTENANCE], what)
            self.assertIn(MAINTENANCE, paths[2:], "%s: the window shows the maintenance page" % what)

    def refresh_height(self, window):
        found = [w for w in self.driver.windows(window_class="InstallerWindow") if w["hwnd"] == window["hwnd"]]
        return found[0]["h"] if found else None


class CancelDownload(UpdateGroup):
    def test_cancel_during_a_download_leaves_stored_files_and_no_temporary_file(self):
        files = small_files()
        lines = self.publish(files)
        order = [l[1].decode().replace("\\", "/").lstrip("./") for l in lines]
        big = "art/big.bin"
        # The big file breaks off early; Cancel comes during its resume pause.
        self.service.set_rules([{"path": rb.served_path(big), "action": "close_after", "bytes": 200000,
                                 "times": 1}])
        program = self.start()
        window = self.main_window()
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not any(r["path"] == rb.served_path(big) for r in self.service.requests()):
            time.sleep(0.1)
        time.sleep(1)
        self.cancel(program, window)
        self.prefix.stop()
        self.assertIsNone(self.installed(big))
        stored = [p for p in order[:order.index(big)] if p in self.expected_paths()]
        self.assert_whole(stored)
        self.assertEqual(self.temp_files(), [])
        self.assertEqual(len([r for r in self.file_requests() if r["path"] == rb.served_path(big)]), 1)

    def test_outside_close_during_a_download_restarts_once_the_download_has_stopped(self):
        files = small_files()
        self.publish(files)
        big = rb.served_path("art/big.bin")
        # The close (the system's close key, or the task list) comes while the
        # big file waits to resume after a break; its next request is answered
        # only after that wait would have ended, so a download left running
        # beside the restarted update would show.
        self.service.set_rules([{"path": big, "action": "close_after", "bytes": 200000, "times": 1},
                                {"path": big, "action": "stall", "seconds": 7, "times": 1}])
        program = self.start()
        window = self.main_window()
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not any(r["path"] == big for r in self.service.requests()):
            time.sleep(0.1)
        self.driver.post(window["hwnd"], WM_CLOSE)
        self.assertEqual(program.wait(120), 0)
        self.prefix.stop()
        self.assert_whole(self.expected_paths())
        self.assertEqual(self.temp_files(), [])
        requests = self.service.requests()
        # The stopped download never asks for the rest: the manifest is
        # fetched again after it, then the file whole, one request at a time.
        order = [(r["path"], r["status"], r["sent"]) for r in requests if r["path"] in (big, "/product.txt")]
        self.assertEqual(order, [("/product.txt", 200, requests[0]["sent"]), (big, 200, 200000),
                                 ("/product.txt", 200, requests[0]["sent"]), (big, 200, len(files["art/big.bin"]))])
        self.assertEqual([r["target"] for r in self.file_requests() if dict(r["headers"]).get("Range")], [])
        fetched = [r["path"] for r in self.file_requests()]
        self.assertEqual(len(fetched), len(set(fetched)) + 1, "only the stopped file is fetched twice")


NGINX_CONF = """
daemon off;
master_process off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 64; }}
http {{
    default_type application/octet-stream;
    log_format requests '$host|$request_uri|$status|$http_range|$body_bytes_sent';
    access_log {work}/nginx-access.log requests;
    client_body_temp_path {work}/body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
    server {{
        listen 80;
        root {root};
    }}
}}
"""


class StaticWebServer(UpdateGroup):
    """A release is a plain folder: nginx serves it instead of the test service."""

    def test_release_served_by_nginx(self):
        self.publish(rb.story_files(count=32, seed=5))
        self.service.stop()
        work = os.path.join(self.workdir, "nginx")
        os.makedirs(work)
        conf = os.path.join(work, "nginx.conf")
        with open(conf, "w") as f:
            f.write(NGINX_CONF.format(work=work, root=self.service.root))
        nginx = subprocess.Popen(["nginx", "-c", conf, "-p", work], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, preexec_fn=velorin_env._die_with_parent)
        self.addCleanup(lambda: (nginx.terminate(), nginx.wait(10)))
        velorin_env._wait_until_ready(velorin_env.Service._answers, nginx, "nginx")

        def log():
            with open(os.path.join(work, "nginx-access.log")) as f:
                return [line.rstrip("\n").split("|") for line in f]

        self.assertEqual(self.run_update(), 0)
        paths = self.expected_paths()
        self.assert_whole(paths)
        files = [entry for entry in log() if entry[1].startswith("/client/r")]
        self.assertEqual(sorted(e[1] for e in files),
                         sorted(rb.served_path(p, compressed=rb.is_compressed(p)) for p in paths))
        self.assertTrue(all(e[2] == "200" for e in files))
        # The pages nginx does not have answer 404: the update goes ahead.
        self.assertIn([DOWNLOAD_HOST, MAINTENANCE, "404", "", "153"][:3], [e[:3] for e in log()])
        self.assertEqual(self.temp_files(), [])


def measure_line(name, value, reference_name, reference):
    return "%-44s %8.3f s   %-28s %8.3f s   ratio %.2f" % (name, value, reference_name, reference,
                                                         value / reference if reference else float("nan"))


class Measures(UpdateGroup):
    """Figures printed by the test run beside their references; nothing is asserted on time."""

    def write_figures(self, lines):
        text = "\n".join(lines) + "\n"
        print("\n" + text)
        if velorin_env.Config.measurements:
            os.makedirs(velorin_env.Config.measurements, exist_ok=True)
            with open(os.path.join(velorin_env.Config.measurements, "update.txt"), "w") as f:
                f.write(text)

    def test_update_check_and_download_speed(self):
        import random
        import zlib
        lines = []

        # A current install of about 200 MB in 300 files: the update check.
        rng = random.Random(1)
        files = {rb.PRIMARY: b"MZ" + rng.randbytes(1_000_000)}
        for n in range(299):
            files["data/pack%02d/file%03d.bin" % (n % 12, n)] = rng.randbytes(rng.randrange(300_000, 1_050_000))
        total = sum(len(d) for d in files.values())
        self.publish(files, extra_args=())
        self.install_current()
        del files

        def stub_check():
            self.clear_log()
            self.assertEqual(self.run_update(), 0)
            requests = self.service.requests()
            self.assertEqual([r["path"] for r in requests], ["/product.txt", MAINTENANCE])
            return requests[1]["time"] - requests[0]["time"]

        def python_check():
            started = time.perf_counter()
            for folder, _, names in os.walk(self.install):
                for name in names:
                    with open(os.path.join(folder, name), "rb") as f:
                        zlib.crc32(f.read(), 0xFFFFFFFF)
            return time.perf_counter() - started

        # Best of three of each, taken in turns, so that a busy moment of the
        # machine does not decide the figure.
        checks, references = [], []
        for _ in range(3):
            checks.append(stub_check())
            references.append(python_check())
        lines.append(measure_line("update check, %d files, %.0f MB current, best of 3" % (len(self.files), total / 1e6),
                                  min(checks), "python zlib.crc32 same files", min(references)))
        shutil.rmtree(self.install)
        os.makedirs(self.install)
        shutil.rmtree(os.path.join(self.service.root, "client"))

        # One 16 MB file over a shaped link, then over plain loopback.
        files = {rb.PRIMARY: b"MZ" + os.urandom(1000), "big/large.bin": os.urandom(16 << 20)}
        self.publish(files)
        self.install_current([rb.PRIMARY])
        url = "http://%s%s" % (DOWNLOAD_HOST, rb.served_path("big/large.bin"))

        def one_download():
            os.remove(os.path.join(self.install, "big", "large.bin")) if self.installed("big/large.bin") else None
            self.clear_log()
            self.assertEqual(self.run_update(), 0)
            self.assert_whole(["big/large.bin"])
            got = {r["path"]: r["time"] for r in self.service.requests()}
            stub = got[MAINTENANCE] - got[rb.served_path("big/large.bin")]
            result = subprocess.run(["curl", "-sS", "-o", "/dev/null", "-w", "%{time_total}", url],
                                    check=True, capture_output=True, text=True)
            return stub, float(result.stdout)

        subprocess.run(["ip", "link", "set", "lo", "mtu", "1500"], check=True)
        subprocess.run(["tc", "qdisc", "add", "dev", "lo", "root", "tbf", "rate", "100mbit", "burst", "256kb",
                        "latency", "100ms"], check=True)
        try:
            stub, curl = one_download()
        finally:
            subprocess.run(["tc", "qdisc", "del", "dev", "lo", "root"], check=True)
            subprocess.run(["ip", "link", "set", "lo", "mtu", "65536"], check=True)
        lines.append(measure_line("16 MB download, 100 Mbit/s tbf, MTU 1500", stub, "curl same URL", curl))
        stub, curl = one_download()
        lines.append(measure_line("16 MB download, plain loopback (info)", stub, "curl same URL", curl))
        self.write_figures(["update measures (velorin.exe under Wine; reference beside each)"] + lines)


if __name__ == "__main__":
    main()
