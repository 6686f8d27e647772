#!/usr/bin/env python3
"""Start-up of the stub: working folder, version record, files left for deletion, carried tail."""

import os
import shutil
import statistics
import subprocess
import time

import release_builder as rb
import velorin_env
from velorin_env import MAIN_CLASS, Config, ScenarioGroup, read, write, write_figure

REPORT_LISTS = {"usgBugReports": bytes.fromhex("2f679a35"), "dbgBugReports": bytes.fromhex("0102030405060708"),
                "logBugReports": bytes.fromhex("ffffffff")}


class StartUp(ScenarioGroup):
    def test_version_record_clears_report_lists_and_requested_deletions_are_retried(self):
        if Config.version:
            self.assertEqual(self.version, tuple(int(n) for n in Config.version.split(".")))
        major, minor, build, revision = self.version
        busy = self.prefix.win(os.path.join(self.download, "busy-stub.exe"))
        # Started from another folder: a relative name left for deletion is resolved in the executable's
        # folder only; libraries in the start folder that the run did not put there stay.
        elsewhere = os.path.join(self.workdir, "elsewhere")
        os.makedirs(elsewhere)
        stale = ["ATL.DLL", "ATL98.DLL", "leftover.tmp"]
        for path in [os.path.join(elsewhere, n) for n in stale] + [os.path.join(self.download, "leftover.tmp"),
                                                                    os.path.join(self.download, "busy-stub.exe")]:
            write(path, b"MZ stale")
        # (stored version, report lists cleared, file named for deletion, held open during the run)
        for stored, cleared, doomed, held in (
                ("%d %d %d %d" % (major, minor, build, revision + 1), True, r"C:\download\gone.tmp", False),
                ("0 0 0 0", True, r"C:\gone-folder\gone.tmp", False),
                (self.version_text(), False, busy, True),
                ("%d %d %d" % (major, minor, build), False, busy, False),
                (None, False, "leftover.tmp", False)):
            with self.subTest(stored=stored, doomed=doomed, held=held):
                settings = dict(([("lastSRun", stored)] if stored else []) + ([("requestDelete", doomed)] if doomed
                                                                               else []))
                self.set_state(settings=settings, debug=dict(REPORT_LISTS, keepMe="1"))
                if held:  # the demo client holds it open unshared until the prefix stops
                    self.start(exe=self.prefix.win(Config.demo_client), cwd=self.workdir, env={"DEMO_CLIENT_HOLD": busy})
                    self.assertTrue(self.driver.wait(window_class="QuenzarDemoClient"))
                self.start_and_cancel(cwd=elsewhere)
                self.assertEqual(self.settings(), dict({"lastSRun": self.version_text()},
                                                       **({"requestDelete": busy} if held else {})))
                self.assertEqual(self.debug_values(), {"keepMe": "1"} if cleared else dict(REPORT_LISTS, keepMe="1"))
                if doomed in (busy, "leftover.tmp"):
                    self.assertEqual(os.path.exists(os.path.join(self.download, doomed.split("\\")[-1])), held)
                self.assertEqual(sorted(os.listdir(elsewhere)), stale)


class CarriedTail(ScenarioGroup):
    def test_stored_affiliate_rules_and_a_damaged_tail_writes_nothing(self):
        stub, carried = rb.packed_stub(self.workdir, rb.AFFILIATE)
        write(self.stub, stub)
        # Nothing stored: the tail's affiliate is recorded; another value is kept.
        for stored, expected in (("kept_1", "kept_1"), ("", rb.AFFILIATE)):
            self.set_state(settings={"Affiliate": stored} if stored else {})
            self.start_and_cancel()
            self.assertEqual(self.settings().get("Affiliate"), expected, "stored %r" % stored)
            self.assertEqual([n for n in carried if os.path.exists(os.path.join(self.download, n))], [])

        # Carried data that lost bytes: the table names blocks past its own start.
        name, position, size = rb.pack_list(self.stub)[0]
        write(self.stub, stub[:position - 1 + size // 2] + stub[position - 1 + size // 2 + 1000:])
        self.set_state(settings={"Affiliate": "-1"})
        before = sorted(os.listdir(self.download))
        program = self.start()
        box = self.dialog(title="Error", timeout=30)
        self.assertEqual(box["texts"], ["This client is corrupt.  Do you wish to visit the web site?"])
        self.assertFalse(self.driver.windows(window_class=MAIN_CLASS), "no window")
        self.driver.press(box["hwnd"], control_id=7)  # IDNO
        self.assertEqual(program.wait(30), 0)
        self.assertEqual(sorted(os.listdir(self.download)), before)
        written = [os.path.join(d, f) for top in (self.prefix.c(), self.workdir) for d, _, files in os.walk(top)
                   for f in files if f.lower() == name.lower()]
        self.assertEqual(written, [])
        self.assertEqual(self.settings().get("Affiliate"), "-1", "nothing recorded")

    def test_a_carried_file_that_does_not_fit_is_removed_and_the_start_goes_on(self):
        # A small disk (tmpfs in the case's mount namespace) with room for the first carried file only.
        carried = {"small.dll": os.urandom(2048), "big.dll": os.urandom(512 * 1024)}
        args = []
        for name, data in carried.items():
            write(os.path.join(self.workdir, name), data)
            args += ["--carry", "%s=%s" % (name, os.path.join(self.workdir, name))]
        packed = os.path.join(self.workdir, "big-stub.exe")
        subprocess.run([Config.pack_tool, "--affiliate", rb.AFFILIATE] + args + [Config.velorin, packed], check=True,
                       stdout=subprocess.DEVNULL)
        small_disk = self.prefix.c("small")
        os.makedirs(small_disk)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % (os.path.getsize(packed) + 128 * 1024), "tmpfs",
                        small_disk], check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", small_disk])
        self.stub = os.path.join(small_disk, rb.STUB)
        shutil.copy(packed, self.stub)
        self.set_state()
        program = self.start(cwd=small_disk)
        window = self.main_window()
        self.assertEqual(sorted(os.listdir(small_disk)), [rb.STUB, "small.dll"], "the short file is removed")
        self.assertEqual(read(os.path.join(small_disk, "small.dll")), carried["small.dll"])
        self.cancel(program, window)
        self.assertEqual(os.listdir(small_disk), [rb.STUB], "only what was written whole is deleted at the end")
        self.assertEqual(self.settings().get("Affiliate"), rb.AFFILIATE)

    def test_measures_expansion_time_and_packed_size(self):
        """Start to main window, unpacked beside packed; written to measurements/affiliate.txt."""
        plain = read(Config.velorin)
        stub, carried = rb.packed_stub(self.workdir, rb.AFFILIATE)
        carried_size = sum(map(len, carried.values()))
        times = {"unpacked": [], "packed": []}
        self.set_state(settings={"Affiliate": rb.AFFILIATE})
        self.start_and_cancel()  # Wine's first start in a prefix is slower; not counted
        for _ in range(5):
            for kind, data in (("unpacked", plain), ("packed", stub)):
                write(self.stub, data)
                started = time.perf_counter()
                program = self.start()
                window = self.main_window()
                times[kind].append(time.perf_counter() - started)
                self.cancel(program, window)
        unpacked, packed = statistics.median(times["unpacked"]), statistics.median(times["packed"])
        text = ("affiliate stub measures (velorin.exe under Wine; median of 5 starts each, the unpacked stub beside "
                "the packed)\nstart -> main window: unpacked %.3f s, packed %.3f s; expansion adds %+.3f s (%d file(s),"
                " %d bytes written)\nsize: velorin.exe %d bytes, packed quenzar.exe %d bytes (+%d: carried files %d, "
                "tail %d)\n" % (unpacked, packed, packed - unpacked, len(carried), carried_size, len(plain), len(stub),
                                len(stub) - len(plain), carried_size, len(stub) - len(plain) - carried_size))
        write_figure("affiliate.txt", text)


if __name__ == "__main__":
    velorin_env.main()
