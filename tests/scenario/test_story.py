#!/usr/bin/env python3
"""The player's whole story with the demo client as the primary: install, download, launch, an update
that ends the client, a process id recorded for another program left alone, and "/uninstall"."""

import os
import subprocess
import time
import urllib.parse

import release_builder as rb
import velorin_env
from velorin_env import DEBUG_KEY, MAIN_CLASS, SETTINGS_KEY, Config, ScenarioGroup, read, records, write, write_figure

IDOK = 1
IDC_ACCEPT_TERMS = 203
IDC_ACCEPT_DIRECTORY = 204
CLIENT_CLASS = "QuenzarDemoClient"
PRIMARY_WIN = ".\\" + rb.PRIMARY.replace("/", "\\")  # as the manifest names it
HELD = "sounds/file05.bin"  # the data file the client holds open while it runs, as the game does
TOOLBAR_KEY = r"Software\Microsoft\Internet Explorer\Extensions\{6FDD5236-C9F0-49ef-935D-385F5E21991A}"
HKLM_KEYS = (r"HKLM\Software\Tavelin\QuenzarClient", "HKLM\\" + TOOLBAR_KEY)
CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY = 2, 23, 16, 25
DEBUG_VALUES = {"usgBugReports": b"\x01\x02", "dbgBugReports": b"\x05\x06\x07", "logBugReports": b"\x09"}
LOCKED = "Unable to play poker; please restart your computer"
SAVING_FAILED = ("There was a problem saving files to your computer.  You may not have permissions or enough "
                 "space available to save files!")
TRACKING_PATHS = {"/affiliate/register_install_start.php": "start",
                  "/affiliate/register_install_finish.php": "finish"}


def release_files():
    return dict(rb.story_files(), **{rb.PRIMARY: read(Config.demo_client)})


def fetched(files):
    return sorted(p for p in files if p not in (rb.INSTALLER, rb.UNCHECKED, rb.STUB))


served = rb.served_path


def shaped_link(on):
    """Loopback at 100 Mbit/s with MTU 1500, or back to plain."""
    subprocess.run(["ip", "link", "set", "lo", "mtu", "1500" if on else "65536"], check=True)
    subprocess.run(["tc", "qdisc", "add" if on else "del", "dev", "lo", "root"]
                   + (["tbf", "rate", "100mbit", "burst", "256kb", "latency", "100ms"] if on else []), check=True)


class StoryGroup(ScenarioGroup):
    def setUp(self):
        super().setUp()
        self.record = self.scratch("client-record.txt")

    def client_lines(self, count, timeout=60):
        return self.poll(lambda: records(self.record)[count - 1:] and records(self.record), timeout,
                         "the demo client did not start %d times" % count, 0.05)

    def set_live(self, name, data):
        self.prefix.reg("add", "HKCU\\" + SETTINGS_KEY, "/v", name, "/d", data, "/f")

    def live_settings(self):
        output = self.prefix.reg("query", "HKCU\\" + SETTINGS_KEY).stdout.decode("utf-8", "replace")
        fields = [line.strip().split(None, 2) for line in output.splitlines()]
        return {f[0]: f[2] if len(f) == 3 else "" for f in fields if len(f) >= 2 and f[1].startswith("REG_")}

    def curl(self, paths, name):
        started = time.perf_counter()
        subprocess.run(["curl", "-sS"] + [a for p in paths for a in ("http://%s%s" % (rb.BASE_HOST, served(p, name)),
                                                                     "-o", "/dev/null")], check=True)
        return time.perf_counter() - started

    def linux(self, windows_path):
        self.assertRegex(windows_path, r"^[Cc]:\\")
        return self.prefix.c(*[p for p in windows_path[3:].split("\\") if p])

    def leave_traces(self, folder, install):
        """Leftovers an uninstall removes (a read-only file, a deep crash dump, HKLM keys, desktop) and the Debug key."""
        rb.write_client(install, {"data/deep/deeper/core.dbg": b"dump", "quenzar.log": b"log"})
        os.chmod(os.path.join(install, "quenzar.log"), 0o444)
        rb.write_client(self.linux(self.driver.folder(CSIDL_DESKTOPDIRECTORY)),
                        {"Quenzar Client.lnk": b"leftover", "Quenzar.exe": b"leftover"})
        for key in HKLM_KEYS:
            self.prefix.reg("add", key, "/v", "CWD", "/d", folder, "/f")
        for name, data in DEBUG_VALUES.items():
            self.prefix.reg("add", "HKCU\\" + DEBUG_KEY, "/v", name, "/t", "REG_BINARY", "/d", data.hex(), "/f")

    def uninstall(self, client_left=False):
        """"/uninstall" answered Yes, the final box OK; waits for the prefix's programs unless a client is left."""
        program = self.start("/uninstall")
        self.driver.press(self.dialog(title="Question")["hwnd"], text="Yes")
        done = self.dialog(title="Update", timeout=40)
        self.assertEqual((done["texts"], done["buttons"]), (["This product is uninstalled from your system."], ["OK"]))
        self.assertEqual(program.wait(), 0)
        self.driver.press(done["hwnd"], control_id=IDOK)
        self.assertTrue(self.driver.gone(done["hwnd"]))
        if client_left:
            time.sleep(1.5)
        else:
            subprocess.run([velorin_env.wineserver(), "-w"], env=self.prefix.env, timeout=60)

    def assert_removed(self):
        for key in HKLM_KEYS:
            self.assertNotEqual(self.prefix.reg("query", key, check=False).returncode, 0, key)
        for csidl, name in ((CSIDL_PROGRAMS, "Quenzar"), (CSIDL_COMMON_PROGRAMS, "Quenzar"),
                            (CSIDL_COMMON_DESKTOPDIRECTORY, "Quenzar.lnk"), (CSIDL_DESKTOPDIRECTORY, "Quenzar.exe"),
                            (CSIDL_DESKTOPDIRECTORY, "Quenzar Client.lnk")):
            self.assertFalse(os.path.exists(self.linux(self.driver.folder(csidl) + "\\" + name)), name)
        self.assertFalse(os.path.exists(self.stub), "the stub that was run is gone")
        registry = self.prefix.registry()
        self.assertEqual((registry.has_key(SETTINGS_KEY), registry.has_key(TOOLBAR_KEY), registry.values(DEBUG_KEY)),
                         (False, False, DEBUG_VALUES), "settings and toolbar gone, the Debug key survives")

    def wait_for_form(self, window, height, timeout=20):
        self.poll(lambda: [w for w in self.driver.windows(window_class=MAIN_CLASS)
                           if (w["hwnd"], w["h"], w["visible"]) == (window["hwnd"], height, 1)], timeout,
                  "no form %d high" % height)

    def client_windows(self):
        return self.driver.windows(window_class=CLIENT_CLASS)

    def client_env(self, held):
        return {"DEMO_CLIENT_RECORD": self.prefix.win(self.record), "DEMO_CLIENT_HOLD": held.replace("/", "\\")}

    def accept_screens(self, program_env, cwd=None, at_terms=lambda: None):
        """Starts the stub and accepts the terms; returns the program and the main window at the folder chooser."""
        program = self.start(env=program_env, cwd=cwd)
        found = self.driver.wait(window_class=MAIN_CLASS, visible=True, text="Accept", timeout=20)
        self.assertEqual(len(found), 1, found)
        at_terms()
        self.driver.press(found[0]["hwnd"], control_id=IDC_ACCEPT_TERMS)
        self.assertTrue(self.driver.wait(window_class=MAIN_CLASS, text="Browse", timeout=10))
        return program, found[0]


class ClientStory(StoryGroup):
    def tracking(self, affiliate):
        counts = {"start": 0, "finish": 0}
        for request in [r for r in self.service.requests() if r["path"].startswith("/affiliate/")]:
            self.assertEqual(request["host"], "api.quenzar.test")
            auth = urllib.parse.parse_qs(request["target"].split("?", 1)[1])["auth"][0]
            self.assertTrue(rb.tracking_signature_ok(auth), auth)
            self.assertEqual(request["target"], "%s?auth=%s&casino_id=1&session=%s" % (request["path"], auth, affiliate))
            counts[TRACKING_PATHS[request["path"]]] += 1
        return counts

    def assert_launch(self, record, folder, install, files, affiliate):
        for path in fetched(files):
            self.assertEqual(read(os.path.join(install, *path.split("/"))), files[path], "%s stored whole" % path)
        self.assertEqual(record["cwd"].lower(), folder.lower(), "started from the install folder")
        self.assertEqual(record["cmdline"], PRIMARY_WIN + " -a=" + affiliate, "one monitor: no screen size, no servers")
        settings = self.live_settings()
        self.assertEqual((settings.get("CWD"), settings.get("Affiliate"), "install" in settings),
                         (folder, affiliate, False), "the pending install is finished by the launch")
        self.assertEqual(settings.get("lastRun"), "%s %s %d" % (PRIMARY_WIN, record["pid"], rb.checksum(files[rb.PRIMARY])))
        self.assertEqual([w["pid"] for w in self.client_windows()], [int(record["pid"])], "one client, its window")

    def test_first_start_installs_downloads_launches_then_update_ends_the_client(self):
        # The player runs one affiliate's stub; the release carries another's. Their checksums agree,
        # so neither is ever fetched.
        stub, carried = rb.packed_stub(self.workdir, rb.AFFILIATE)
        other, _ = rb.packed_stub(self.workdir, rb.OTHER_AFFILIATE)
        self.assertTrue(carried, "the published stub carries a file")
        self.stub = os.path.join(self.download, rb.STUB)
        write(self.stub, stub)
        files = dict(release_files(), **{rb.STUB: other, "art/intro.bin": os.urandom(8 << 20)})
        rb.publish(self.workdir, files, self.service.root, name="r7", extra_args=("--stub", rb.STUB))
        self.set_state()
        self.clear_log()

        # Started from another folder, as a browser starts a download; the carried files lie beside it.
        def at_terms():
            for name, data in carried.items():
                self.assertEqual(read(os.path.join(self.download, name)), data, "%s written whole beside the stub" % name)
            self.assertEqual(self.tracking(rb.AFFILIATE), {"start": 0, "finish": 0}, "nothing before Accept")

        # The whole story runs over a 100 Mbit/s link; its install and update are timed beside curl.
        shaped_link(True)
        self.addCleanup(shaped_link, False)
        program, window = self.accept_screens(self.client_env(HELD), self.prefix.c(), at_terms)
        started = time.perf_counter()
        self.driver.press(window["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
        self.client_lines(1, timeout=180)  # written just before the client's window
        first = time.perf_counter() - started
        self.assertEqual(program.wait(180), 0, "the run ends after the launch")

        folder = self.driver.folder(38) + "\\Quenzar"
        install = self.prefix.c(*folder[3:].split("\\"))
        self.assertEqual(read(os.path.join(install, rb.STUB)), stub, "the stub copy, this affiliate's")
        self.assertEqual(self.tracking(rb.AFFILIATE), {"start": 1, "finish": 1}, "the finish at the first launch")
        self.assertEqual(sorted(r["path"] for r in self.service.requests() if r["path"].startswith("/client/r")),
                         sorted(served(p) for p in fetched(files)), "every client file fetched once, nothing else")
        self.assert_launch(self.client_lines(1)[0], folder, install, files, rb.AFFILIATE)

        # A newer release changes the held file. A process id recorded for another program (the client
        # under another name) is left alone: the held file stays locked, the run ends with its box.
        newer = dict(files, **{HELD: files[HELD][::-1] + b"r8"})
        rb.publish(self.workdir, newer, self.service.root, name="r8", extra_args=("--stub", rb.STUB))
        rb.write_client(self.prefix.c("other"), {"game.exe": files[rb.PRIMARY]})
        other = self.start(exe="C:\\other\\game.exe", cwd=install,
                           env={"DEMO_CLIENT_RECORD": self.prefix.win(self.record)})
        recorded = self.live_settings()["lastRun"]
        self.set_live("lastRun", "%s %s %d" % (PRIMARY_WIN, self.client_lines(2)[1]["pid"], rb.checksum(files[rb.PRIMARY])))
        self.clear_log()
        program = self.start()
        box = self.dialog(title="Error", timeout=60)
        self.assertEqual(box["texts"], [LOCKED])
        self.driver.press(box["hwnd"], control_id=IDOK)
        self.assertEqual(program.wait(30), 0)
        self.assertTrue(other.running(), "a process the stub did not start is left alone")
        self.assertEqual([r["path"] for r in self.service.requests()], ["/product.txt"], "nothing fetched")
        other.kill()

        # With the client's own record, the next start ends it (path and checksum match), fetches the held
        # file alone and starts the client again with the affiliate stored by then; an update sends no tracking.
        self.set_live("lastRun", recorded)
        self.set_live("Affiliate", "kept_affiliate-2")
        self.clear_log()
        started = time.perf_counter()
        program = self.start(env=self.client_env(HELD))
        self.client_lines(3, timeout=180)
        update = time.perf_counter() - started
        self.assertEqual(program.wait(180), 0)
        self.assertEqual([r["path"] for r in self.service.requests() if r["path"].startswith("/client/r")],
                         [rb.served_path(HELD, name="r8")], "only the changed file is fetched")
        self.assert_launch(self.client_lines(3)[2], folder, install, newer, "kept_affiliate-2")
        self.assertEqual(self.tracking("kept_affiliate-2"), {"start": 0, "finish": 0}, "an update sends nothing")
        self.assertEqual([n for n in carried for w in (self.download, install) if os.path.exists(os.path.join(w, n))],
                         [], "the carried files are removed at the end")

        # "/uninstall" ends the recorded client and removes the install through its temporary copy.
        self.leave_traces(folder, install)
        self.uninstall()
        self.assertEqual(self.client_windows(), [], "the recorded client was ended")
        self.assertFalse(os.path.exists(install), os.listdir(install) if os.path.exists(install) else "")
        self.assert_removed()
        count, size = len(fetched(files)), sum(len(files[p]) for p in fetched(files))
        curl_first, curl_update = self.curl(fetched(files), "r7"), self.curl([HELD], "r8")
        # Fixed: the 3-second pause before a pending install's launch; the window's first state a second after start.
        write_figure("story.txt", "client story measures (velorin.exe under Wine, 100 Mbit/s tbf, MTU 1500; curl "
                     "beside each)\nfirst install, %d files %.1f MB, folder Accept -> client started: %.3f s; curl same "
                     "files %.3f s; ratio %.2f; fixed pauses 3.0 s (%.0f%%)\nupdate, 1 stale file of %d, start -> "
                     "running client ended and started again: %.3f s; curl same file %.3f s; ratio %.1f; fixed "
                     "pauses 1.0 s (%.0f%%)\n" % (count, size / 1e6, first, curl_first, first / curl_first, 300 / first,
                                                 count, update, curl_update, update / curl_update, 100 / update))


if __name__ == "__main__":
    velorin_env.main()
