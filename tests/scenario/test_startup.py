#!/usr/bin/env python3
"""Start-up of the stub: working folder, version record, files left for deletion."""

import os
import shutil
import statistics
import struct
import subprocess
import time

import release_builder as rb
import velorin_env
from velorin_env import DEBUG_KEY, MAIN_CLASS, Config, ScenarioGroup

IDNO = 7
CORRUPT_TEXT = "This client is corrupt.  Do you wish to visit the web site?"

REPORT_LISTS = {
    "usgBugReports": bytes.fromhex("2f679a35"),
    "dbgBugReports": bytes.fromhex("0102030405060708"),
    "logBugReports": bytes.fromhex("ffffffff"),
}


class FirstStart(ScenarioGroup):
    def test_works_from_its_own_folder_and_records_its_version(self):
        configured = velorin_env.Config.version
        if configured:
            self.assertEqual(self.version, tuple(int(n) for n in configured.split(".")),
                             "version resource differs from the configured version")

        # Started from another folder, a relative name left for deletion is
        # resolved in the executable's folder, and only there.
        elsewhere = os.path.join(self.workdir, "elsewhere")
        os.makedirs(elsewhere)
        for folder in (self.download, elsewhere):
            with open(os.path.join(folder, "leftover.tmp"), "w") as f:
                f.write("stale")
        # Libraries in the start folder that this run did not put there stay.
        for name in ("ATL.DLL", "ATL98.DLL"):
            with open(os.path.join(elsewhere, name), "w") as f:
                f.write("not a library")
        self.set_state(settings={"requestDelete": "leftover.tmp"})

        self.start_and_cancel(cwd=elsewhere)

        self.assertFalse(os.path.exists(os.path.join(self.download, "leftover.tmp")))
        self.assertTrue(os.path.exists(os.path.join(elsewhere, "leftover.tmp")))
        self.assertEqual(sorted(os.listdir(elsewhere)), ["ATL.DLL", "ATL98.DLL", "leftover.tmp"])
        settings = self.settings()
        self.assertEqual(settings, {"lastSRun": self.version_text()})


class VersionRecord(ScenarioGroup):
    """The reported-crash lists start afresh when the stub's version changes."""

    def run_with_stored_version(self, stored):
        settings = {} if stored is None else {"lastSRun": stored}
        debug = dict(REPORT_LISTS, keepMe="1")
        self.set_state(settings=settings, debug=debug)
        self.start_and_cancel()
        self.assertEqual(self.settings().get("lastSRun"), self.version_text())
        values = self.debug_values()
        self.assertEqual(values.get("keepMe"), "1", "other values of the Debug key stay")
        return values

    def test_a_changed_version_clears_the_report_lists(self):
        major, minor, build, revision = self.version
        for stored in ("%d %d %d %d" % (major, minor, build, revision + 1),
                       "%d %d %d %d" % (major + 1, minor, build, revision),
                       "0 0 0 0"):
            with self.subTest(stored=stored):
                values = self.run_with_stored_version(stored)
                for name in REPORT_LISTS:
                    self.assertNotIn(name, values)

    def test_an_equal_or_unknown_version_keeps_the_report_lists(self):
        major, minor, build, revision = self.version
        for stored in (self.version_text(), "%d %d %d" % (major, minor, build),
                       "%d %d %d -1" % (major + 1, minor, build), None):
            with self.subTest(stored=stored):
                values = self.run_with_stored_version(stored)
                for name, data in REPORT_LISTS.items():
                    self.assertEqual(values.get(name), data)


class RequestedDeletion(ScenarioGroup):
    """A file named in "requestDelete" is deleted at the next start."""

    def test_missing_file_or_folder_drops_the_request(self):
        # The file alone is gone, or its whole folder is (the deletion then
        # fails with "path not found" rather than "file not found").
        for missing in (r"C:\download\gone.tmp", r"C:\gone-folder\gone.tmp"):
            with self.subTest(missing=missing):
                self.set_state(settings={"requestDelete": missing})
                self.start_and_cancel()
                self.assertNotIn("requestDelete", self.settings())

    def test_deletable_file_is_deleted(self):
        stale = os.path.join(self.download, "old-stub.exe")
        with open(stale, "wb") as f:
            f.write(b"MZ old stub")
        self.set_state(settings={"requestDelete": self.prefix.win(stale)})
        self.start_and_cancel()
        self.assertFalse(os.path.exists(stale))
        self.assertNotIn("requestDelete", self.settings())

    def test_file_held_open_is_kept_and_tried_again(self):
        busy = os.path.join(self.download, "busy-stub.exe")
        with open(busy, "wb") as f:
            f.write(b"MZ still running")
        self.set_state(settings={"requestDelete": self.prefix.win(busy)})
        with self.driver.hold(self.prefix.win(busy)):
            self.start_and_cancel()
        self.assertTrue(os.path.exists(busy))
        self.assertEqual(self.settings().get("requestDelete"), self.prefix.win(busy))

        # Once the file is free the next start deletes it.
        self.start_and_cancel()
        self.assertFalse(os.path.exists(busy))
        self.assertNotIn("requestDelete", self.settings())



def tail_naming(image, name, data, affiliate=b"x"):
    """A stub with a tail built here (velorin-pack refuses such names)."""
    table = struct.pack("<H", len(name)) + name + struct.pack("<II", len(image) + 1, len(data))
    return (image + data + table + struct.pack("<II", len(table), 1) + affiliate
            + struct.pack("<H", len(affiliate)) + b"\x55\xAA")


class CarriedTail(ScenarioGroup):
    """The affiliate a packed stub brings, and stubs whose tail cannot be trusted."""

    def install_stub(self, data):
        with open(self.stub, "wb") as f:
            f.write(data)

    def written_anywhere(self, names):
        """Files of those names (any case) under drive C: or the scenario's folder."""
        wanted = {n.lower() for n in names}
        found = []
        for top in (self.prefix.c(), self.workdir):
            for folder, _, files in os.walk(top):
                found += [os.path.join(folder, f) for f in files if f.lower() in wanted]
        return found

    def test_stored_affiliate_rules_and_damaged_tails_write_nothing(self):
        stub, carried = rb.packed_stub(self.workdir, rb.AFFILIATE)
        self.install_stub(stub)
        # "-1" stores no affiliate: the tail's is recorded. Another value is kept.
        for stored, expected in (("-1", rb.AFFILIATE), ("kept_1", "kept_1"), ("", rb.AFFILIATE)):
            self.set_state(settings={"Affiliate": stored} if stored else {})
            self.start_and_cancel()
            self.assertEqual(self.settings().get("Affiliate"), expected, "stored %r" % stored)
            for name in carried:
                self.assertFalse(os.path.exists(os.path.join(self.download, name)), "%s removed" % name)

        # A stub whose carried data lost bytes on the way (the table now names
        # blocks past its own start), and a tail naming a file outside the folder.
        with open(Config.velorin, "rb") as f:
            plain = f.read()
        name, (position, size) = next((n, (p, s)) for n, p, s in rb.pack_list(self.stub)["files"])
        middle = position - 1 + size // 2
        damaged = {
            "lost bytes": stub[:middle] + stub[middle + 1000:],
            "cut inside the table": stub[:-(len(rb.AFFILIATE) + 12 + 3)] + stub[-(len(rb.AFFILIATE) + 4):],
            "..\\evil.dll": tail_naming(open(Config.velorin, "rb").read(), b"..\\evil.dll", b"MZ evil"),
        }
        for what, data in damaged.items():
            self.install_stub(data)
            self.set_state(settings={"Affiliate": "-1"})
            before = sorted(os.listdir(self.download))
            program = self.start()
            box = self.dialog(title="Error", timeout=30)
            self.assertEqual(box["texts"], [CORRUPT_TEXT], what)
            self.assertFalse(self.driver.windows(window_class=MAIN_CLASS), "no window for %s" % what)
            self.driver.press(box["hwnd"], control_id=IDNO)
            self.assertEqual(program.wait(30), 0, what)
            self.assertEqual(sorted(os.listdir(self.download)), before, what)
            self.assertEqual(self.written_anywhere(["evil.dll", name]), [], what)
            self.assertEqual(self.settings().get("Affiliate"), "-1", "nothing recorded for %s" % what)

    def test_a_carried_file_that_does_not_fit_is_removed_and_the_start_goes_on(self):
        # The stub on a small disk (a tmpfs in the case's own mount namespace)
        # with room for its first carried file but not for the second.
        carried = {"small.dll": os.urandom(2048), "big.dll": os.urandom(512 * 1024)}
        for name, data in carried.items():
            with open(os.path.join(self.workdir, name), "wb") as f:
                f.write(data)
        packed = os.path.join(self.workdir, "big-stub.exe")
        subprocess.run([Config.pack_tool, "--affiliate", rb.AFFILIATE]
                       + sum((["--carry", "%s=%s" % (n, os.path.join(self.workdir, n))] for n in carried), [])
                       + [Config.velorin, packed], check=True, stdout=subprocess.DEVNULL)
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
        with open(os.path.join(small_disk, "small.dll"), "rb") as f:
            self.assertEqual(f.read(), carried["small.dll"])
        self.cancel(program, window)
        self.assertEqual(os.listdir(small_disk), [rb.STUB], "only what was written whole is deleted at the end")
        self.assertEqual(self.settings().get("Affiliate"), rb.AFFILIATE)

    def test_measures_expansion_time_and_packed_size(self):
        """Start to main window, unpacked beside packed (the difference is what
        expansion adds), and the sizes. Printed through measurements/affiliate.txt."""
        with open(Config.velorin, "rb") as f:
            plain = f.read()
        stub, carried = rb.packed_stub(self.workdir, rb.AFFILIATE)
        times = {"unpacked": [], "packed": []}
        self.set_state(settings={"Affiliate": rb.AFFILIATE})
        self.start_and_cancel()  # Wine's first start in a prefix is slower; not counted
        for _ in range(5):
            for kind, data in (("unpacked", plain), ("packed", stub)):
                self.install_stub(data)
                started = time.perf_counter()
                program = self.start()
                window = self.main_window()
                times[kind].append(time.perf_counter() - started)
                self.cancel(program, window)
        unpacked, packed = statistics.median(times["unpacked"]), statistics.median(times["packed"])
        text = ("affiliate stub measures (velorin.exe under Wine; median of 5 starts each, the unpacked stub "
                "beside the packed)\n"
                "start -> main window: unpacked %.3f s, packed %.3f s; expansion adds %+.3f s (%d file(s), %d bytes "
                "written)\n"
                "size: velorin.exe %d bytes, packed quenzar.exe %d bytes (+%d: carried files %d, tail %d)\n"
                % (unpacked, packed, packed - unpacked, len(carried), sum(map(len, carried.values())),
                   len(plain), len(stub), len(stub) - len(plain), sum(map(len, carried.values())),
                   len(stub) - len(plain) - sum(map(len, carried.values()))))
        print("\n" + text)
        if Config.measurements:
            os.makedirs(Config.measurements, exist_ok=True)
            with open(os.path.join(Config.measurements, "affiliate.txt"), "w") as f:
                f.write(text)


if __name__ == "__main__":
    velorin_env.main()
