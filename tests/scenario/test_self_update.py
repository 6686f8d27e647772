#!/usr/bin/env python3
"""A new stub published: the old stub downloads it once, ends and starts it; the new stub copies
itself over the installed "quenzar.exe" and the file the old one ran from, updates the client and
launches it; the next start deletes the temporary file. The new stub is --velorin-next, packed."""

import glob
import os
import subprocess
import time

import release_builder as rb
import velorin_env
from test_story import StoryGroup, fetched, release_files
from velorin_env import MAIN_CLASS, Config, read, write, write_figure

Watch = velorin_env.Driver.Watch

INSTALL_WIN = "C:\\Quenzar Poker"  # blanks in the install folder
TEMP_WIN = "C:\\Quenzar Temp"  # and in the temporary folder
DECOY_WIN = "C:\\Quenzar.exe"  # what an unquoted "C:\Quenzar Temp\cci1.tmp ..." would start
STALE = "sounds/file05.bin"


class SelfUpdate(StoryGroup):
    def setUp(self):
        """An installed client one release behind: the old stub and one stale file."""
        super().setUp()
        self.old = read(Config.packed)
        self.new = read(rb.pack_like_release(Config.velorin_next, self.workdir, "quenzar-next.exe"))
        self.assertNotEqual(self.version_text(Config.velorin), self.version_text(Config.velorin_next))
        self.install, self.temp = self.prefix.c(INSTALL_WIN[3:]), self.prefix.c(TEMP_WIN[3:])
        os.makedirs(self.temp, exist_ok=True)
        write(self.prefix.c(DECOY_WIN[3:]), read(Config.demo_client))
        self.files = dict(release_files(), **{"quenzar.exe": self.new})
        rb.publish(self.workdir, self.files, self.service.root, name="r8", extra_args=["--stub", "quenzar.exe"])
        rb.write_client(self.install, dict({p: self.files[p] for p in fetched(self.files)},
                                           **{"quenzar.exe": self.old, STALE: b"stale"}))
        write(self.stub, self.old)
        self.set_state(settings={"CWD": INSTALL_WIN})
        with self.prefix.edit_registry() as reg:
            for name in ("TEMP", "TMP"):
                reg.set_string("Environment", name, TEMP_WIN)
        self.clear_log()

    def run_stub(self, win_path, *args):
        return self.start(*args, exe=win_path, env=self.client_env(STALE))

    def stub_requests(self):
        return [r["path"] for r in self.service.requests() if r["path"].endswith("quenzar.exe")]

    def wait_for_hand_over(self, old_window, old_process):
        """The new stub's run to its end after the launch; when the old window went, the new came, the old process ended."""
        close = Watch(self.driver, ["gone", hex(old_window["hwnd"]), "--timeout", 90000], 0)
        window = Watch(self.driver, ["wait", "--class", MAIN_CLASS, "--exclude", hex(old_window["hwnd"]),
                                     "--timeout", 90000], 0)
        watches = {"close": close.process, "window": window.process, "exit": old_process}
        times, deadline = {}, time.monotonic() + 90
        while len(times) < 3 and time.monotonic() < deadline:
            times.update({k: time.perf_counter() for k, p in watches.items() if p.poll() is not None and k not in times})
            time.sleep(0.005)
        close.finish(10)
        new = velorin_env.parse_records(window.finish(10))
        self.assertTrue(new, "the new stub opened its window")
        self.client_lines(1, timeout=180)
        self.assertTrue(self.driver.gone(new[0]["hwnd"], timeout=60), "the new stub's run ended")
        return times

    def assert_updated_and_launched(self, ran_from):
        """Both copies replaced, the client updated and started; the new stub's temporary file, whose deletion it asks."""
        self.assertEqual((read(os.path.join(self.install, "quenzar.exe")), read(ran_from)), (self.new, self.new))
        self.assertEqual(glob.glob(os.path.join(self.install, "*.new")), [], "no copy left beside it")
        self.assertEqual(read(os.path.join(self.install, *STALE.split("/"))), self.files[STALE])
        self.assertEqual([r["path"] for r in self.service.requests() if r["path"].startswith("/client/r")],
                         ["/client/r8/quenzar.exe", rb.served_path(STALE, name="r8")], "the stub fetched once")
        records = self.client_lines(1)
        self.assertEqual([r["cwd"].lower() for r in records], [INSTALL_WIN.lower()], "the client alone, no decoy")
        settings = self.settings()  # ends the client with the prefix
        self.assertEqual(settings.get("lastSRun"), self.version_text(Config.velorin_next), "the new stub ran")
        temp_file = settings.get("requestDelete", "")
        self.assertTrue(temp_file.lower().startswith(TEMP_WIN.lower() + "\\"), temp_file)
        self.assertEqual(read(self.prefix.c(temp_file[3:].replace("\\", "/"))), self.new)
        return self.prefix.c(temp_file[3:].replace("\\", "/"))

    def test_altered_stub_refused_then_the_new_one_replaces_both_files_and_the_next_start_cleans_up(self):
        served = os.path.join(self.service.root, "client", "r8", "quenzar.exe")
        write(served, self.new[:1000] + bytes(b ^ 0x5A for b in self.new[1000:2000]) + self.new[2000:])
        program = self.run_stub(INSTALL_WIN + "\\quenzar.exe")
        self.driver.press(self.dialog(title="Download Error", timeout=120)["hwnd"], control_id=1)
        self.assertEqual(program.wait(30), 0)
        time.sleep(2)  # a stub started by the exit would be up by now
        self.assertEqual(self.driver.windows(window_class=MAIN_CLASS), [], "nothing started")
        self.assertEqual((read(os.path.join(self.install, "quenzar.exe")), os.listdir(self.temp)), (self.old, []))
        self.assertEqual(self.settings(), {"CWD": INSTALL_WIN, "lastSRun": self.version_text(Config.velorin)})
        self.assertFalse(os.path.exists(self.record), "no client, no decoy")
        self.assertEqual(self.stub_requests(), ["/client/r8/quenzar.exe"])
        write(served, self.new)
        self.clear_log()

        # Started from the download folder: "/self:" and "/target:" differ, and the copy over the
        # old stub's file waits for its process. Reference: the old stub's start to its first window.
        watch_first = Watch(self.driver, ["wait", "--class", MAIN_CLASS, "--timeout", 90000], 1)
        started = time.perf_counter()
        program = self.run_stub(self.prefix.win(self.stub))
        while watch_first.process.poll() is None and time.perf_counter() - started < 90:
            time.sleep(0.005)
        first_window = time.perf_counter() - started
        watch_first.finish(10)
        times = self.wait_for_hand_over(self.main_window(), program.process)
        self.assertEqual(program.wait(10), 0)
        temp_file = self.assert_updated_and_launched(self.stub)
        self.clear_log()
        self.assertEqual(self.run_stub(INSTALL_WIN + "\\quenzar.exe").wait(180), 0)
        self.assertEqual(self.stub_requests(), [], "a current stub is not fetched again")
        self.assertFalse(os.path.exists(temp_file))
        self.assertEqual(self.settings().get("lastSRun"), self.version_text(Config.velorin_next))
        self.assertNotIn("requestDelete", self.settings())
        held = max(0.0, min(times["exit"], times["window"]) - times["close"])
        write_figure("selfupdate.txt", "self-update hand-over (velorin.exe under Wine, polled from outside):\nold "
                     "stub's window closed -> new stub's first window: %.3f s; of it the old process still held its file "
                     "%.3f s (an upper bound of the new stub's wait for it); reference: the old stub's start -> its "
                     "first window %.3f s\n" % (times["window"] - times["close"], held, first_window))

    def test_old_stub_run_from_the_installed_file_is_waited_for(self):
        # Both paths name the installed file. Under Wine the old stub lets go of it at once, so a
        # second process of it (its uninstall question, left open) holds it until answered No.
        holder = self.run_stub(INSTALL_WIN + "\\quenzar.exe", "/uninstall")
        question = self.dialog(title="Question", timeout=60)
        program = self.run_stub(INSTALL_WIN + "\\quenzar.exe")
        self.assertTrue(self.driver.gone(self.main_window()["hwnd"], timeout=90))
        self.assertEqual(program.wait(30), 0)
        time.sleep(1.5)
        self.assertEqual(self.driver.windows(window_class=MAIN_CLASS), [], "the new stub waits for the file")
        self.driver.press(question["hwnd"], control_id=7)  # IDNO
        self.assertEqual(holder.wait(30), 0)
        new_window = self.main_window(timeout=30)
        self.client_lines(1, timeout=180)
        self.assertTrue(self.driver.gone(new_window["hwnd"], timeout=60))
        self.assert_updated_and_launched(os.path.join(self.install, "quenzar.exe"))

    def test_full_install_disk_keeps_the_old_stub_whole_and_starts_no_second_hand_over(self):
        # Room for the client's files but not a second stub: the copy fails, the old stub stays
        # whole, and the new stub does not fetch a stub again. tmpfs counts pages, one per folder.
        used = sum(4096 * (1 + (os.path.getsize(os.path.join(d, f)) + 4095) // 4096)
                   for d, _, names in os.walk(self.install) for f in names + [""])
        saved = self.workdir + "/install-copy"
        subprocess.run(["cp", "-a", self.install, saved], check=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % (used + len(self.old) // 4), "tmpfs", self.install],
                       check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", self.install])
        subprocess.run(["cp", "-a", saved + "/.", self.install], check=True)
        program = self.run_stub(self.prefix.win(self.stub))
        self.wait_for_hand_over(self.main_window(), program.process)
        self.assertEqual(read(os.path.join(self.install, "quenzar.exe")), self.old, "the old stub is whole")
        self.assertEqual(glob.glob(os.path.join(self.install, "*.new")), [])
        self.assertEqual(self.stub_requests(), ["/client/r8/quenzar.exe"], "no second hand-over")
        self.assertEqual(read(os.path.join(self.install, *STALE.split("/"))), self.files[STALE])
        self.assertEqual(len(self.client_lines(1)), 1)
        self.assertEqual(self.settings().get("lastSRun"), self.version_text(Config.velorin_next))


if __name__ == "__main__":
    velorin_env.main()
