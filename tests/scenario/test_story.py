#!/usr/bin/env python3
"""The player's whole story with a published release whose primary executable
is the demo client: the first start of an affiliate's packed stub writes its
carried files beside itself, records the affiliate, registers the install
start and finish with the API server, installs through the real screens,
downloads every file and starts the client from the install folder; a newer
release with one changed file, held open by the running client, ends that
client, fetches only that file and starts the client again. A process id
reused by another program is left alone and the run ends with its box."""

import os
import subprocess
import time
import urllib.parse

import release_builder as rb
import velorin_env
from velorin_env import MAIN_CLASS, SETTINGS_KEY, Config, Program, ScenarioGroup

IDOK = 1
IDC_ACCEPT_TERMS = 203
IDC_ACCEPT_DIRECTORY = 204
CLIENT_CLASS = "QuenzarDemoClient"
WM_CLOSE = 0x0010
# The primary as velorin-release names it in the manifest, relative to the install folder.
PRIMARY_WIN = ".\\" + rb.PRIMARY.replace("/", "\\")


def release_files():
    """The scenario release with the demo client as its primary executable."""
    files = rb.story_files()
    with open(Config.demo_client, "rb") as f:
        files[rb.PRIMARY] = f.read()
    return files


def fetched(files):
    return sorted(p for p in files if p not in (rb.INSTALLER, rb.UNCHECKED, rb.STUB))


TRACKING_PATHS = {"/affiliate/register_install_start.php": "start",
                  "/affiliate/register_install_finish.php": "finish"}


class StoryGroup(ScenarioGroup):
    def setUp(self):
        super().setUp()
        self.record = os.path.join(self.workdir, "client-record.txt")
        if os.path.exists(self.record):
            os.remove(self.record)

    def clear_log(self):
        open(self.service.log, "w").close()

    def client_lines(self, count, timeout=60):
        """The demo client's records once there are COUNT of them."""
        deadline = time.monotonic() + timeout
        while True:
            lines = []
            if os.path.exists(self.record):
                with open(self.record) as f:
                    lines = [line for line in f.read().split("\n") if line]
            if len(lines) >= count:
                return [dict(field.split("=", 1) for field in line.split("\t")) for line in lines]
            self.assertLess(time.monotonic(), deadline, "the demo client did not start: %r" % lines)
            time.sleep(0.2)

    def live_settings(self):
        """The product's values read with "wine reg", leaving the prefix's programs running."""
        output = subprocess.run([velorin_env.wine(), "reg", "query", "HKCU\\" + SETTINGS_KEY], env=self.prefix.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                timeout=60).stdout.decode("utf-8", "replace")
        values = {}
        for line in output.splitlines():
            fields = line.strip().split(None, 2)
            if len(fields) >= 2 and fields[1].startswith("REG_"):
                values[fields[0]] = fields[2] if len(fields) == 3 else ""
        return values

    def client_windows(self):
        return self.driver.windows(window_class=CLIENT_CLASS)

    def client_env(self, held):
        return {"DEMO_CLIENT_RECORD": self.prefix.win(self.record), "DEMO_CLIENT_HOLD": held.replace("/", "\\")}

    def assert_installed(self, install, files):
        for path in fetched(files):
            with open(os.path.join(install, *path.split("/")), "rb") as f:
                self.assertEqual(f.read(), files[path], "%s stored byte-identical" % path)

    def tracking(self, affiliate):
        """Counts of the install-tracking requests received, each checked whole:
        host, path, casino_id=1, session = the affiliate, and a signature that
        hashlib recomputes from its number and the key."""
        counts = {"start": 0, "finish": 0}
        for request in self.service.requests():
            if not request["path"].startswith("/affiliate/"):
                continue
            self.assertIn(request["path"], TRACKING_PATHS)
            self.assertEqual(request["host"], "api.quenzar.test")
            query = urllib.parse.parse_qs(request["target"].split("?", 1)[1], keep_blank_values=True)
            auth = query["auth"][0]
            self.assertTrue(rb.tracking_signature_ok(auth), auth)
            self.assertEqual(request["target"], "%s?auth=%s&casino_id=1&session=%s"
                             % (request["path"], auth, affiliate))
            counts[TRACKING_PATHS[request["path"]]] += 1
        return counts

    def assert_launch(self, record, folder, files, affiliate=""):
        self.assertEqual(record["cwd"].lower(), folder.lower(), "started from the install folder")
        self.assertEqual(record["cmdline"], PRIMARY_WIN + " -a=" + affiliate,
                         "one monitor: no screen size, no servers")
        settings = self.live_settings()
        self.assertEqual(settings.get("CWD"), folder)
        self.assertNotIn("install", settings, "the pending install is finished by the launch")
        self.assertEqual(settings.get("lastRun"),
                         "%s %s %d" % (PRIMARY_WIN, record["pid"], rb.checksum(files[rb.PRIMARY])))



class ClientStory(StoryGroup):
    def test_first_start_installs_downloads_launches_then_update_ends_the_client(self):
        # The player runs one affiliate's copy of the stub; the release was
        # published with another affiliate's copy. Their checksums agree, so
        # neither is ever selected for download.
        stub, carried = rb.packed_stub(self.workdir, rb.AFFILIATE)
        other, _ = rb.packed_stub(self.workdir, rb.OTHER_AFFILIATE)
        self.assertEqual(len(rb.AFFILIATE), 52)
        self.assertTrue(carried, "the published stub carries a file")
        self.stub = os.path.join(self.download, rb.STUB)
        with open(self.stub, "wb") as f:
            f.write(stub)
        files = release_files()
        files[rb.STUB] = other
        rb.publish(self.workdir, files, self.service.root, name="r7", extra_args=("--stub", rb.STUB))
        # The client holds a data file open while it runs, as the game does.
        held = "sounds/file05.bin"
        self.assertIn(held, files)
        self.set_state()
        self.clear_log()

        # First start, from another folder as a browser starts a download:
        # terms -> Accept -> folder chooser -> Accept. The carried files lie
        # beside the stub while it runs.
        program = self.start(env=self.client_env(held), cwd=self.prefix.c())
        found = self.driver.wait(window_class=MAIN_CLASS, visible=True, text="Accept", timeout=20)
        self.assertEqual(len(found), 1, found)
        for name, data in carried.items():
            with open(os.path.join(self.download, name), "rb") as f:
                self.assertEqual(f.read(), data, "%s written whole beside the stub" % name)
        self.assertEqual(self.tracking(rb.AFFILIATE), {"start": 0, "finish": 0}, "nothing before Accept")
        window = found[0]
        self.driver.press(window["hwnd"], control_id=IDC_ACCEPT_TERMS)
        self.assertTrue(self.driver.wait(window_class=MAIN_CLASS, text="Browse", timeout=10))
        self.driver.press(window["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
        self.assertEqual(program.wait(180), 0, "the run ends after the launch")

        folder = self.driver.folder(38) + "\\Quenzar"
        install = self.prefix.c(*folder[3:].split("\\"))
        with open(os.path.join(install, rb.STUB), "rb") as f:
            self.assertEqual(f.read(), stub, "the stub copy, this affiliate's")
        for name in carried:
            self.assertFalse(os.path.exists(os.path.join(self.download, name)), "%s removed at the end" % name)
            self.assertFalse(os.path.exists(os.path.join(install, name)), "%s never in the install folder" % name)
        self.assertEqual(self.live_settings().get("Affiliate"), rb.AFFILIATE, "the tail's affiliate recorded")
        self.assertEqual(self.tracking(rb.AFFILIATE), {"start": 1, "finish": 1},
                         "one install start at Accept, one finish at the first launch")
        self.assert_installed(install, files)
        self.assertFalse(os.path.exists(os.path.join(install, *rb.INSTALLER.split("/"))))
        requests = self.service.requests()
        self.assertEqual(sorted(r["path"] for r in requests if r["path"].startswith("/client/r")),
                         sorted(rb.served_path(p, compressed=rb.is_compressed(p)) for p in fetched(files)),
                         "every client file fetched once")

        first = self.client_lines(1)[0]
        self.assert_launch(first, folder, files, rb.AFFILIATE)
        windows = self.client_windows()
        self.assertEqual([w["pid"] for w in windows], [int(first["pid"])], "one client, with its own window")

        # A newer release changes the file the running client holds: the next
        # start ends that client (path and checksum match), fetches that file
        # alone and starts the client again. The affiliate stored by then is
        # another one: it is kept and passed on; an update sends no tracking.
        newer = dict(files)
        newer[held] = files[held][::-1] + b"r8"
        rb.publish(self.workdir, newer, self.service.root, name="r8", extra_args=("--stub", rb.STUB))
        self.assertEqual(subprocess.run([velorin_env.wine(), "reg", "add", "HKCU\\" + SETTINGS_KEY, "/v", "Affiliate", "/d",
                                         "kept_affiliate-2", "/f"], env=self.prefix.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode, 0)
        self.clear_log()
        program = self.start(env=self.client_env(held))
        self.assertEqual(program.wait(180), 0)
        self.assertEqual([r["path"] for r in self.service.requests() if r["path"].startswith("/client/r")],
                         [rb.served_path(held, name="r8")], "only the changed file is fetched")
        self.assert_installed(install, newer)
        second = self.client_lines(2)[1]
        self.assertNotEqual(second["pid"], first["pid"])
        self.assert_launch(second, folder, newer, "kept_affiliate-2")
        self.assertEqual(self.live_settings().get("Affiliate"), "kept_affiliate-2")
        self.assertEqual(self.tracking("kept_affiliate-2"), {"start": 0, "finish": 0}, "an update sends nothing")
        for name in carried:
            self.assertFalse(os.path.exists(os.path.join(install, name)), "%s removed at the end" % name)
        windows = self.client_windows()
        self.assertEqual([w["pid"] for w in windows], [int(second["pid"])], "the first client was ended")
        self.driver.post(windows[0]["hwnd"], WM_CLOSE)
        self.assertTrue(self.driver.gone(windows[0]["hwnd"]))

    def test_reused_process_id_is_left_alone_and_the_run_ends(self):
        files = release_files()
        rb.publish(self.workdir, files, self.service.root, name="r7")
        install = self.prefix.c("Quenzar")
        for path in fetched(files):
            full = os.path.join(install, *path.split("/"))
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(files[path])
        held = os.path.join(install, "sounds", "file05.bin")
        with open(held, "wb") as f:
            f.write(b"stale")
        self.set_state(settings={"CWD": self.prefix.win(install)})
        # Another program (the demo client under another name) holds the stale
        # file, and its process id is the one the last launch recorded.
        other = self.prefix.c("other")
        os.makedirs(other, exist_ok=True)
        with open(os.path.join(other, "game.exe"), "wb") as f:
            f.write(files[rb.PRIMARY])
        client = Program(self.prefix, "C:\\other\\game.exe", cwd=install,
                         env=self.client_env("sounds/file05.bin"))
        self.programs.append(client)
        pid = self.client_lines(1)[0]["pid"]
        self.assertTrue(self.driver.wait(window_class=CLIENT_CLASS, timeout=20))
        last_run = "%s %s %d" % (PRIMARY_WIN, pid, rb.checksum(files[rb.PRIMARY]))
        self.assertEqual(subprocess.run([velorin_env.wine(), "reg", "add", "HKCU\\" + SETTINGS_KEY, "/v", "lastRun",
                                         "/d", last_run, "/f"], env=self.prefix.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode, 0)
        self.clear_log()
        program = self.start()
        box = self.dialog(title="Error", timeout=60)
        self.assertEqual(box["texts"], ["Unable to play poker; please restart your computer"])
        self.driver.press(box["hwnd"], control_id=IDOK)
        self.assertEqual(program.wait(30), 0)
        self.assertTrue(client.running(), "a process the stub did not start is left alone")
        with open(held, "rb") as f:
            self.assertEqual(f.read(), b"stale")
        self.assertEqual([r["path"] for r in self.service.requests()], ["/product.txt"], "nothing fetched")
        client.kill()


class StoryMeasures(StoryGroup):
    """The first install and a one-file update over a link shaped to 100 Mbit/s,
    each beside curl fetching the same files in the same run. Printed through
    measurements/story.txt; nothing is asserted on time."""

    def curl(self, paths, name):
        urls = []
        for path in paths:
            urls += ["http://%s%s" % (rb.BASE_HOST, rb.served_path(path, name=name, compressed=rb.is_compressed(path))),
                     "-o", "/dev/null"]
        started = time.perf_counter()
        subprocess.run(["curl", "-sS", *urls], check=True)
        return time.perf_counter() - started

    def client_started_after(self, started, count):
        """Seconds from STARTED to the client's record line, which it writes just before its window."""
        deadline = time.monotonic() + 180
        while True:
            if os.path.exists(self.record):
                with open(self.record) as f:
                    if f.read().count("\n") >= count:
                        return time.perf_counter() - started
            self.assertLess(time.monotonic(), deadline, "the client did not start")
            time.sleep(0.02)

    def test_first_install_and_one_file_update_over_a_shaped_link(self):
        files = release_files()
        files["art/intro.bin"] = os.urandom(8 << 20)
        rb.publish(self.workdir, files, self.service.root, name="r7")
        self.set_state()
        lines = ["client story measures (velorin.exe under Wine, 100 Mbit/s tbf, MTU 1500; curl beside each)"]
        subprocess.run(["ip", "link", "set", "lo", "mtu", "1500"], check=True)
        subprocess.run(["tc", "qdisc", "add", "dev", "lo", "root", "tbf", "rate", "100mbit", "burst", "256kb",
                        "latency", "100ms"], check=True)
        try:
            program = self.start(env=self.client_env("sounds/file05.bin"))
            found = self.driver.wait(window_class=MAIN_CLASS, visible=True, text="Accept", timeout=20)
            self.driver.press(found[0]["hwnd"], control_id=IDC_ACCEPT_TERMS)
            self.assertTrue(self.driver.wait(window_class=MAIN_CLASS, text="Browse", timeout=10))
            started = time.perf_counter()
            self.driver.press(found[0]["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
            first = self.client_started_after(started, 1)
            self.assertEqual(program.wait(60), 0)
            curl = self.curl(fetched(files), "r7")
            size = sum(len(files[p]) for p in fetched(files))
            # Fixed: the 3-second pause before the launch of a pending install.
            lines.append("first install, %d files %.1f MB, folder Accept -> client started: %.3f s; curl same "
                         "files %.3f s; ratio %.2f; fixed pauses 3.0 s (%.0f%%)"
                         % (len(fetched(files)), size / 1e6, first, curl, first / curl, 300 / first))

            windows = self.client_windows()
            for window in windows:
                self.driver.post(window["hwnd"], WM_CLOSE)
                self.driver.gone(window["hwnd"])
            newer = dict(files)
            newer["sounds/file05.bin"] = files["sounds/file05.bin"][::-1] + b"r8"
            rb.publish(self.workdir, newer, self.service.root, name="r8")
            started = time.perf_counter()
            program = self.start(env=self.client_env("sounds/file05.bin"))
            update = self.client_started_after(started, 2)
            self.assertEqual(program.wait(60), 0)
            curl = self.curl(["sounds/file05.bin"], "r8")
            # Fixed: the main window's first state a second after start.
            lines.append("update, 1 stale file of %d, start -> client started: %.3f s; curl same file %.3f s; "
                         "ratio %.1f; fixed pauses 1.0 s (%.0f%%)"
                         % (len(fetched(files)), update, curl, update / curl, 100 / update))
        finally:
            subprocess.run(["tc", "qdisc", "del", "dev", "lo", "root"], check=True)
            subprocess.run(["ip", "link", "set", "lo", "mtu", "65536"], check=True)
        for window in self.client_windows():
            self.driver.post(window["hwnd"], WM_CLOSE)
        text = "\n".join(lines) + "\n"
        print("\n" + text)
        if Config.measurements:
            os.makedirs(Config.measurements, exist_ok=True)
            with open(os.path.join(Config.measurements, "story.txt"), "w") as f:
                f.write(text)


if __name__ == "__main__":
    velorin_env.main()
