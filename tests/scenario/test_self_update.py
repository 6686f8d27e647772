#!/usr/bin/env python3
"""The update story when the service publishes a new stub: the old stub
downloads it once, ends and starts it; the new stub copies itself over the
installed "quenzar.exe" and over the file the old stub ran from, then updates
the client and launches it; the next start deletes the temporary file. Both
stubs are packed as the service publishes them; the new one is velorin.exe
rebuilt with the next revision (--velorin-next)."""

import glob
import os
import subprocess
import time

import release_builder as rb
import velorin_env
from test_story import StoryGroup, fetched, release_files
from velorin_env import MAIN_CLASS, Config, Program

IDOK = 1
INSTALL_WIN = "C:\\Quenzar Poker"  # blanks in the install folder
TEMP_WIN = "C:\\Quenzar Temp"  # and in the temporary folder
DECOY_WIN = "C:\\Quenzar.exe"  # what an unquoted "C:\Quenzar Temp\cci1.tmp ..." would start
STALE = "sounds/file05.bin"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def version_text(path):
    return "%d %d %d %d" % velorin_env.file_version(path)


class SelfUpdate(StoryGroup):
    def setUp(self):
        super().setUp()
        self.old = read(Config.packed)
        self.new = read(rb.pack_like_release(Config.velorin_next, self.workdir, "quenzar-next.exe"))
        self.assertNotEqual(version_text(Config.velorin), version_text(Config.velorin_next))
        self.install = self.prefix.c(INSTALL_WIN[3:])
        self.temp = self.prefix.c(TEMP_WIN[3:])
        self.decoy = self.prefix.c(DECOY_WIN[3:])
        for folder in (self.install, self.temp):
            os.makedirs(folder, exist_ok=True)
        with open(self.decoy, "wb") as f:
            f.write(read(Config.demo_client))
        self.files = release_files()
        self.files["quenzar.exe"] = self.new
        rb.publish(self.workdir, self.files, self.service.root, name="r8", extra_args=["--stub", "quenzar.exe"])
        # An installed client one release behind: the old stub, one stale file.
        for path in fetched(self.files) + ["quenzar.exe"]:
            full = os.path.join(self.install, *path.split("/"))
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(self.old if path == "quenzar.exe" else self.files[path])
        with open(os.path.join(self.install, *STALE.split("/")), "wb") as f:
            f.write(b"stale")
        with open(self.stub, "wb") as f:
            f.write(self.old)
        self.set_state(settings={"CWD": INSTALL_WIN})
        with self.prefix.edit_registry() as reg:
            for name in ("TEMP", "TMP"):
                reg.set_string("Environment", name, TEMP_WIN)
        self.clear_log()

    def run_stub(self, win_path, *args):
        program = Program(self.prefix, win_path, args, cwd=self.download, env=self.client_env(STALE),
                          log=os.path.join(self.workdir, "wine-output.log"))
        self.programs.append(program)
        return program

    def stub_requests(self):
        return [r["path"] for r in self.service.requests() if r["path"].endswith("quenzar.exe")]

    def wait_for_hand_over(self, old_window, measure=None):
        """Follows the old stub's close to the new stub's run, which ends after
        the launch; returns the new main window's record."""
        watch_gone = self.driver_process("gone", hex(old_window["hwnd"]), "--timeout", 90000)
        watch_new = self.driver_process("wait", "--class", MAIN_CLASS, "--exclude", hex(old_window["hwnd"]),
                                        "--timeout", 90000)
        times = {}
        deadline = time.monotonic() + 90
        while len(times) < 3 and time.monotonic() < deadline:
            for name, process in (("close", watch_gone), ("window", watch_new), ("exit", measure)):
                if name not in times and (process is None or process.poll() is not None):
                    times[name] = time.perf_counter()
            time.sleep(0.005)
        watch_gone.wait(10)
        watch_new.wait(10)
        self.assertEqual(watch_new.returncode, 0, "the new stub opened its window")
        with open(watch_new.output_path) as f:
            new = velorin_env.parse_records(f.read())[0]
        self.client_lines(1, timeout=180)
        self.assertTrue(self.driver.gone(new["hwnd"], timeout=60), "the new stub's run ended")
        return new, times

    def driver_process(self, *args):
        output = os.path.join(self.workdir, "driver-%s-%d.txt" % (args[0], time.monotonic_ns()))
        with open(output, "wb") as f:
            process = subprocess.Popen([velorin_env.wine(), self.driver.exe, *[str(a) for a in args]], env=self.prefix.env,
                                       stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.DEVNULL)
        process.output_path = output
        return process

    def assert_updated_and_launched(self, ran_from):
        """What a whole hand-over leaves: both copies, the client updated and
        started by the new stub, "requestDelete" naming its temporary file."""
        quenzar = os.path.join(self.install, "quenzar.exe")
        self.assertEqual(read(quenzar), self.new, "the installed stub is the published one")
        self.assertEqual(read(ran_from), self.new, "the file the old stub ran from is replaced too")
        self.assertEqual(glob.glob(os.path.join(self.install, "*.new")), [], "no copy left beside it")
        self.assertEqual(read(os.path.join(self.install, *STALE.split("/"))), self.files[STALE])
        self.assertEqual(self.stub_requests(), ["/client/r8/quenzar.exe"], "the stub is fetched once")
        self.assertEqual([r["path"] for r in self.service.requests() if r["path"].startswith("/client/r")],
                         ["/client/r8/quenzar.exe", rb.served_path(STALE, name="r8")])
        records = self.client_lines(1)
        self.assertEqual(len(records), 1, "the client alone started, no decoy: %r" % records)
        self.assertEqual(records[0]["cwd"].lower(), INSTALL_WIN.lower())
        for window in self.client_windows():
            self.driver.post(window["hwnd"], 0x0010)
            self.driver.gone(window["hwnd"])
        settings = self.settings()
        self.assertEqual(settings.get("lastSRun"), version_text(Config.velorin_next), "the new stub ran")
        temp_file = settings.get("requestDelete", "")
        self.assertTrue(temp_file.lower().startswith(TEMP_WIN.lower() + "\\"), temp_file)
        self.assertEqual(read(self.prefix.c(temp_file[3:].replace("\\", "/"))), self.new)
        return temp_file

    def assert_next_start_cleans_up(self, temp_file):
        """The next start of the installed stub deletes the temporary file and
        fetches no stub."""
        self.clear_log()
        program = self.run_stub(INSTALL_WIN + "\\quenzar.exe")
        self.assertEqual(program.wait(180), 0)
        self.assertEqual(self.stub_requests(), [], "a current stub is not fetched again")
        self.assertFalse(os.path.exists(self.prefix.c(temp_file[3:].replace("\\", "/"))))
        settings = self.settings()
        self.assertNotIn("requestDelete", settings)
        self.assertEqual(settings.get("lastSRun"), version_text(Config.velorin_next))

    def test_new_stub_replaces_both_files_updates_and_launches(self):
        # Started from the download folder: "/self:" and "/target:" differ,
        # and the copy over the old stub's file waits for its process to end.
        # Reference, polled the same way: a start to the stub's first window.
        watch_first = self.driver_process("wait", "--class", MAIN_CLASS, "--timeout", 90000)
        time.sleep(1)  # the watch is up
        started = time.perf_counter()
        program = self.run_stub(self.prefix.win(self.stub))
        while watch_first.poll() is None and time.perf_counter() - started < 90:
            time.sleep(0.005)
        first_window = time.perf_counter() - started
        old_window = self.main_window()
        _, times = self.wait_for_hand_over(old_window, measure=program.process)
        self.assertEqual(program.wait(10), 0)
        temp_file = self.assert_updated_and_launched(self.stub)
        self.assert_next_start_cleans_up(temp_file)
        total = times["window"] - times["close"]
        held = max(0.0, min(times["exit"], times["window"]) - times["close"])
        text = ("self-update hand-over (velorin.exe under Wine, windows and process polled from outside):\n"
                "old stub's window closed -> new stub's first window: %.3f s; of it the old process still "
                "held its file for %.3f s (%.0f%%, an upper bound of the new stub's wait for it); "
                "reference: the old stub's start -> its first window %.3f s\n"
                % (total, held, 100 * held / total if total > 0 else 0, first_window))
        print("\n" + text)
        if Config.measurements:
            os.makedirs(Config.measurements, exist_ok=True)
            with open(os.path.join(Config.measurements, "selfupdate.txt"), "w") as f:
                f.write(text)

    def test_old_stub_run_from_the_installed_file_is_waited_for(self):
        # The usual start, from the shortcut: both paths name the installed
        # file. Under Wine the old stub lets go of it within milliseconds, so
        # a second process of the installed stub (its uninstall question,
        # left open) holds the file until the test answers No.
        holder = self.run_stub(INSTALL_WIN + "\\quenzar.exe", "/uninstall")
        question = self.dialog(title="Question", timeout=60)
        program = self.run_stub(INSTALL_WIN + "\\quenzar.exe")
        old_window = self.main_window()
        self.assertTrue(self.driver.gone(old_window["hwnd"], timeout=90))
        self.assertEqual(program.wait(30), 0)
        time.sleep(1.5)
        self.assertEqual(self.driver.windows(window_class=MAIN_CLASS), [], "the new stub waits for the file")
        self.driver.press(question["hwnd"], control_id=7)  # IDNO
        self.assertEqual(holder.wait(30), 0)
        new_window = self.main_window(timeout=30)
        self.client_lines(1, timeout=180)
        self.assertTrue(self.driver.gone(new_window["hwnd"], timeout=60))
        self.assert_updated_and_launched(os.path.join(self.install, "quenzar.exe"))

    def test_altered_stub_download_starts_and_copies_nothing(self):
        served = os.path.join(self.service.root, "client", "r8", "quenzar.exe")
        with open(served, "wb") as f:
            f.write(self.new[:1000] + bytes(b ^ 0x5A for b in self.new[1000:2000]) + self.new[2000:])
        program = self.run_stub(INSTALL_WIN + "\\quenzar.exe")
        box = self.dialog(title="Download Error", timeout=120)
        self.driver.press(box["hwnd"], control_id=IDOK)
        self.assertEqual(program.wait(30), 0)
        time.sleep(2)  # a stub started by the exit would be up by now
        self.assertEqual(self.driver.windows(window_class=MAIN_CLASS), [], "nothing started")
        self.assertEqual(read(os.path.join(self.install, "quenzar.exe")), self.old)
        self.assertEqual(os.listdir(self.temp), [], "the altered download is deleted")
        settings = self.settings()
        self.assertEqual(settings.get("lastSRun"), version_text(Config.velorin))
        self.assertNotIn("requestDelete", settings)
        self.assertFalse(os.path.exists(self.record), "no client, no decoy")
        self.assertEqual(self.stub_requests(), ["/client/r8/quenzar.exe"])

    def test_full_install_disk_keeps_the_old_stub_whole_and_starts_no_second_hand_over(self):
        # The install folder's disk has room for the client's files but not
        # for a second stub: the new stub's copy fails, the old one stays
        # whole, and the new stub's own update does not fetch a stub again.
        # Bytes in whole pages (tmpfs counts pages), and a page per folder.
        used = sum(4096 * (1 + (os.path.getsize(os.path.join(d, f)) + 4095) // 4096)
                   for d, _, names in os.walk(self.install) for f in names + [""])
        saved = self.workdir + "/install-copy"
        subprocess.run(["cp", "-a", self.install, saved], check=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % (used + len(self.old) // 4), "tmpfs",
                        self.install], check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", self.install])
        subprocess.run(["cp", "-a", saved + "/.", self.install], check=True)
        program = self.run_stub(self.prefix.win(self.stub))
        self.wait_for_hand_over(self.main_window(), measure=program.process)
        self.assertEqual(read(os.path.join(self.install, "quenzar.exe")), self.old, "the old stub is whole")
        self.assertEqual(glob.glob(os.path.join(self.install, "*.new")), [])
        self.assertEqual(self.stub_requests(), ["/client/r8/quenzar.exe"], "no second hand-over")
        self.assertEqual(read(os.path.join(self.install, *STALE.split("/"))), self.files[STALE])
        self.assertEqual(len(self.client_lines(1)), 1)
        self.assertEqual(self.settings().get("lastSRun"), version_text(Config.velorin_next))


if __name__ == "__main__":
    velorin_env.main()
