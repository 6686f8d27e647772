#!/usr/bin/env python3
"""An installed client brought up to date by velorin.exe from a release published by velorin-release,
checked by the install folder, the service's request log, the registry, the boxes and no temporary file left."""

import contextlib
import os
import random
import shutil
import subprocess
import time
import zlib

import release_builder as rb
import velorin_env
from test_story import IDOK, LOCKED, SAVING_FAILED, StoryGroup, served
from velorin_env import MAIN_CLASS, WM_CLOSE, main, parse_records, read, unreachable, write, write_figure

# The secondary update server and the download server answer on addresses of their own, so that a
# scenario can refuse connections to one of them as a host that is down does.
UPDATE2_ADDRESS, DOWNLOAD_ADDRESS = "127.0.0.2", "127.0.0.3"
velorin_env.own_addresses({"update2.": UPDATE2_ADDRESS, "download.": DOWNLOAD_ADDRESS})

MAINTENANCE = "/client/php/ServerStatus/maintenance.php"
UPDATE_PAGE = "/client/php/flash8/index.php?mode=update"
SERVER_FILES = "There is a problem with the files on the server.  Please try again later!"


def small_files():
    files = rb.story_files(count=8, seed=11)
    files["art/big.bin"] = os.urandom(3_000_000)
    return files


class UpdateGroup(StoryGroup):
    """A client release on the service and an install folder recorded in "CWD"."""

    def setUp(self):
        super().setUp()
        self.install = self.prefix.c("Quenzar")
        self.reset_install()
        self.service.set_rules([])
        self.set_state(settings={"CWD": self.prefix.win(self.install)})

    def reset_install(self):
        shutil.rmtree(self.install, ignore_errors=True)
        os.makedirs(self.install)
        self.clear_log()

    def publish(self, files, **kwargs):
        self.files = files
        lines = rb.publish(self.workdir, files, self.service.root, **kwargs)
        # The fetched files in the order the manifest lists them.
        self.order = [p for p in (l[1].decode().replace("\\", "/").lstrip("./") for l in lines)
                      if p in self.expected_paths()]
        return lines

    def expected_paths(self):
        return sorted(p for p in self.files if p not in (rb.INSTALLER, rb.UNCHECKED))

    def full(self, path):
        return os.path.join(self.install, *path.split("/"))

    def install_current(self, paths=None):
        rb.write_client(self.install, {p: self.files[p] for p in paths or self.expected_paths()})

    def paths(self):
        return [r["path"] for r in self.service.requests()]

    def file_requests(self):
        return [r for r in self.service.requests() if r["path"].startswith("/client/r")]

    def temp_files(self):
        """Temporary download files ("cci*.tmp") anywhere on drive C:."""
        return [os.path.join(d, n) for d, _, names in os.walk(self.prefix.c()) for n in names
                if n.lower().startswith("cci") and n.lower().endswith(".tmp")]

    def run_update(self, timeout=120):
        code = self.start().wait(timeout)
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
        self.assertEqual(self.temp_files(), [])


class UpdateStory(UpdateGroup):
    def test_fresh_folder_then_current_with_each_status_answer_then_stale_files(self):
        lines = self.publish(rb.story_files())
        watcher = self.driver.watch("watchprogress", window_class=MAIN_CLASS, timeout_ms=90000)
        self.assertEqual(self.run_update(), 0)
        # The bar's range is set once, to every byte fetched; its position only grows, to that.
        progress = [r for r in parse_records(watcher.finish()) if r.get("shown") == 1]
        fetched_bytes = sum(int(f[3]) for f in lines if f[4] != b"8" and f[2] != b"0")
        self.assertEqual({r["range"] for r in progress}, {fetched_bytes}, progress)
        positions = [r["pos"] for r in progress]
        self.assertEqual((positions, positions[-1]), (sorted(positions), fetched_bytes), "never back, ends full")
        paths = self.expected_paths()
        self.assert_whole(paths)
        self.assertEqual([p for p in paths if rb.is_compressed(p) and self.installed(p + ".z") is not None], [])
        requests = self.service.requests()
        self.assertEqual([r["host"] for r in requests if r["path"] == "/product.txt"], ["update1.quenzar.test"])
        self.assertEqual(sorted(r["path"] for r in self.file_requests()), sorted(served(p) for p in paths),
                         "one GET per file; never the installer or a checksum-0 entry")
        self.assertEqual(requests[-1]["path"], MAINTENANCE, "the status check ends the update")
        # Besides the files: the manifest, the page shown while downloading, the status check.
        self.assertEqual([r["target"] for r in requests if not r["path"].startswith("/client/r")],
                         ["/product.txt", UPDATE_PAGE, MAINTENANCE])
        self.assertEqual(self.temp_files(), [])
        # The launch record names the stored primary and its checksum (the process id is Wine's).
        settings = self.settings()
        last_run = settings.pop("lastRun", "").split(" ")
        self.assertEqual(settings, {"CWD": self.prefix.win(self.install), "lastSRun": self.version_text()})
        self.assertEqual([last_run[0], last_run[2], len(last_run)],
                         [".\\" + rb.PRIMARY.replace("/", "\\"), str(rb.checksum(self.files[rb.PRIMARY])), 3])

        # Everything current: no file request, straight to the start whenever the status check does not
        # say maintenance (404, OK inside other text, an empty page, no answer at all).
        for body, down in ((None, None), ("Servers: OK, all good", None), ("", None), (None, DOWNLOAD_ADDRESS)):
            self.clear_log()
            self.service.set_rules([] if body is None else [{"path": MAINTENANCE, "action": "body", "body": body}])
            with unreachable(down) if down else contextlib.nullcontext():
                self.assertEqual(self.run_update(), 0, body)
            self.assertEqual(self.paths(), ["/product.txt"] + ([] if down else [MAINTENANCE]), body)
        # No "OK": the large form shows the maintenance page, the client is not started.
        self.clear_log()
        self.service.set_rules([{"path": MAINTENANCE, "action": "body", "body": "MAINTENANCE"}])
        program = self.start()
        window = self.main_window()
        self.wait_for_form(window, 345)
        time.sleep(1.5)
        self.assertTrue(program.running(), "the client is not started")
        self.cancel(program, window)
        self.assertEqual(self.paths()[:2], ["/product.txt", MAINTENANCE])
        self.assertIn(MAINTENANCE, self.paths()[2:], "the window shows the maintenance page")
        self.service.set_rules([])
        self.prefix.stop()

        # One stale file among many, and one whose copy is longer: exactly those two.
        stale, longer = "art/cards/file03.bin", next(filter(rb.is_compressed, paths))
        with open(self.full(stale), "r+b") as f:
            f.write(b"\0\1\2")
        with open(self.full(longer), "ab") as f:
            f.write(b"more")
        self.clear_log()
        self.assertEqual(self.run_update(), 0)
        self.assertEqual(sorted(r["path"] for r in self.file_requests()), sorted([served(stale), served(longer)]))
        self.assert_whole(paths)


class ServerFaults(UpdateGroup):
    """Which server answers the manifest, when the whole fetch is retried, when the run gives up; cut transfers."""

    def test_primary_fails_secondary_serves_or_retry_or_box_then_cut_transfers_resume(self):
        self.publish(small_files())
        primary404 = {"path": "/product.txt", "host": "update1.quenzar.test", "action": "status", "status": 404}
        for rule, down, expected in (
                (primary404, None, [("update1.quenzar.test", 404), ("update2.quenzar.test", 200)]),
                # The secondary down too: a second later the whole fetch is tried again.
                (dict(primary404, times=1), UPDATE2_ADDRESS,
                 [("update1.quenzar.test", 404), ("update1.quenzar.test", 200)])):
            self.reset_install()
            self.service.set_rules([rule])
            with unreachable(down) if down else contextlib.nullcontext():
                self.assertEqual(self.run_update(), 0)
            self.assert_whole(self.expected_paths())
            manifest = [r for r in self.service.requests() if r["path"] == "/product.txt"]
            self.assertEqual([(r["host"], r["status"]) for r in manifest], expected)
        self.assertGreaterEqual(manifest[1]["time"] - manifest[0]["time"], 0.9, "the retry waits a second")

        # Both answer 404: the error box, nothing fetched.
        self.reset_install()
        self.service.set_rules([{"path": "/product.txt", "action": "status", "status": 404}])
        self.assert_ends_with_box(self.start(), "Error",
                                  "The server is experiencing technical difficulties. Please try again later!")
        self.assertEqual(os.listdir(self.install), [])
        self.assertEqual(self.paths(), ["/product.txt", "/product.txt"])

        self.reset_install()
        compressed = next(filter(rb.is_compressed, self.expected_paths()))
        # Each cut after its bytes; the big file's resumed request is answered 200 with the whole file.
        cuts = ((rb.PRIMARY, 1000, 206), (compressed, 300, 206), ("art/big.bin", 100000, 200))
        self.service.set_rules([{"path": served(p), "action": "close_after", "bytes": n, "times": 1}
                                for p, n, _ in cuts] + [{"path": served("art/big.bin"), "action": "ignore_range",
                                                         "times": 1}])
        self.assertEqual(self.run_update(timeout=180), 0)
        self.assert_whole(self.expected_paths())
        for path, cut, status in cuts:
            first, second = [r for r in self.file_requests() if r["path"] == served(path)]
            self.assertEqual((first["sent"], dict(second["headers"]).get("Range"), second["status"]),
                             (cut, "bytes=%d-" % cut, status), path)
            self.assertTrue(4.5 <= second["time"] - first["time"] < 15, "%s resumed after about 5 s" % path)
        self.assertEqual(self.temp_files(), [])


class BadAnswers(UpdateGroup):
    """Answers that end the run, each with its box; what was stored stays whole."""

    def test_redirect_bad_stream_and_locked_files(self):
        files = small_files()
        self.publish(files)
        paths = self.expected_paths()
        victim = self.order[2]
        self.service.set_rules([{"path": served(victim), "action": "redirect", "location": "http://www.quenzar.test/"}])
        self.assert_ends_with_box(self.start(), "Error", SERVER_FILES)
        self.assert_whole(self.order[:2])
        self.assertIsNone(self.installed(victim))

        # A stream that does not inflate to the listed size although every byte arrived: never stored.
        compressed = next(filter(rb.is_compressed, paths))
        stream = os.path.join(self.service.root, served(compressed).lstrip("/"))
        manifest = os.path.join(self.service.root, "product.txt")
        short, text = zlib.compress(files[compressed][:-1]), read(manifest)
        changed = text.replace(b"|%d|0|1|" % os.path.getsize(stream), b"|%d|0|1|" % len(short), 1)
        self.assertNotEqual(changed, text, "the manifest lists the shorter stream")
        write(manifest, changed)
        write(stream, short)
        self.service.set_rules([])
        self.clear_log()
        self.assert_ends_with_box(self.start(), "Error", SERVER_FILES)
        self.assertIsNone(self.installed(compressed))
        self.publish(files)

        # A missing file alone in a folder that cannot be written: fetched, then the saving box.
        self.install_current()
        held = [p for p in paths if [q for q in paths if q.startswith(p.rsplit("/", 1)[0] + "/")] == [p]][0]
        folder = os.path.dirname(self.full(held))
        os.remove(self.full(held))
        self.clear_log()
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        subprocess.run(["mount", "-o", "remount,bind,ro", folder], check=True)
        try:
            self.assert_ends_with_box(self.start(), "Download Error", SAVING_FAILED)
        finally:
            subprocess.run(["umount", folder], check=True)
        self.assertIsNone(self.installed(held))
        self.assert_whole([p for p in paths if p != held])

        # A client file refused with access denied (a folder in its place: root ignores read-only) counts
        # as locked, as a held one does: the box before any fetch.
        self.clear_log()
        os.remove(self.full(paths[0]))
        os.makedirs(self.full(paths[0]))
        self.assert_ends_with_box(self.start(), "Error", LOCKED)
        self.assertEqual(self.paths(), ["/product.txt"])


class CancelDownload(UpdateGroup):
    def break_off(self, big, *rules):
        """Starts an update whose big file breaks off early; returns once it was asked for."""
        self.clear_log()
        self.service.set_rules([{"path": big, "action": "close_after", "bytes": 200000, "times": 1}, *rules])
        program = self.start()
        window = self.main_window()
        self.poll(lambda: big in self.paths(), 60, interval=0.1, fail=False)
        return program, window

    def test_cancel_then_outside_close_during_a_download(self):
        files = small_files()
        self.publish(files)
        big = served("art/big.bin")
        # Cancel during the resume pause ends the run.
        program, window = self.break_off(big)
        time.sleep(1)
        self.cancel(program, window)
        self.prefix.stop()
        self.assertIsNone(self.installed("art/big.bin"))
        self.assert_whole(self.order[:self.order.index("art/big.bin")])
        self.assertEqual(self.temp_files(), [])
        self.assertEqual(self.paths().count(big), 1)

        # An outside close (the system's close key, the task list) in the pause restarts the update; the
        # next request is answered only after the pause would have ended, so a download left running
        # beside the restarted update would show.
        program, window = self.break_off(big, {"path": big, "action": "stall", "seconds": 7, "times": 1})
        self.driver.post(window["hwnd"], WM_CLOSE)
        self.assertEqual(program.wait(120), 0)
        self.prefix.stop()
        self.assert_whole(self.expected_paths())
        self.assertEqual(self.temp_files(), [])
        # The stopped download never asks for the rest: the manifest again, then the file whole.
        requests = self.service.requests()
        manifest = ("/product.txt", 200, requests[0]["sent"])
        self.assertEqual([(r["path"], r["status"], r["sent"]) for r in requests if r["path"] in (big, "/product.txt")],
                         [manifest, (big, 200, 200000), manifest, (big, 200, len(files["art/big.bin"]))])
        self.assertEqual([r["target"] for r in self.file_requests() if dict(r["headers"]).get("Range")], [])
        fetched = [r["path"] for r in self.file_requests()]
        self.assertEqual(len(fetched), len(set(fetched)) + 1, "only the stopped file is fetched twice")


class Measures(UpdateGroup):
    def test_update_check_speed(self):
        # A current install of about 200 MB in 300 files; download speed is the story's figure.
        rng = random.Random(1)
        files = {rb.PRIMARY: b"MZ" + rng.randbytes(1_000_000)}
        for n in range(299):
            files["data/pack%02d/file%03d.bin" % (n % 12, n)] = rng.randbytes(rng.randrange(300_000, 1_050_000))
        self.publish(files)
        self.install_current()

        def check():
            self.clear_log()
            self.assertEqual(self.run_update(), 0)
            requests = self.service.requests()
            self.assertEqual([r["path"] for r in requests], ["/product.txt", MAINTENANCE])
            started = time.perf_counter()
            for folder, _, names in os.walk(self.install):
                for name in names:
                    rb.checksum(read(os.path.join(folder, name)))
            return requests[1]["time"] - requests[0]["time"], time.perf_counter() - started

        # Best of three, taken in turns, so that a busy moment of the machine does not decide.
        check, reference = map(min, zip(*[check() for _ in range(3)]))
        write_figure("update.txt", "update measures (velorin.exe under Wine; reference beside it)\nupdate check, %d "
                     "files, %.0f MB current, best of 3: %.3f s; python zlib.crc32 same files %.3f s; ratio %.2f\n"
                     % (len(files), sum(map(len, files.values())) / 1e6, check, reference, check / reference))


if __name__ == "__main__":
    main()
