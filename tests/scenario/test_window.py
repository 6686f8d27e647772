#!/usr/bin/env python3
"""The installer window as a player meets it: the terms, the folder chooser with
the shell's folder browser, the wait for the manifest, and the hand-over to the
uninstaller copy. Checked by the window's geometry, controls, texts and pixels,
and by what the runs leave behind."""

import glob
import os
import re
import statistics
import subprocess
import time

import screen_pixels
import velorin_env
from velorin_env import (DIALOG_CLASS, MAIN_CLASS, WM_COMMAND, Config, ScenarioGroup, parse_records,
                         unreachable)

# The update servers get an address of their own, which the wait for the
# manifest makes unreachable.
UPDATE_SERVERS_ADDRESS = "127.0.0.2"
if not os.environ.get("VELORIN_SERVICE_HOSTS"):
    Config.host_entries = [name + "=" + UPDATE_SERVERS_ADDRESS if name.startswith("update") else name
                           for name in velorin_env.DEFAULT_SERVICE_HOSTS]

WM_CLOSE = 0x0010
WM_PRODUCT_INFO_READY = 0x8065
HTCAPTION = 2
IDOK = 1
IDC_CANCEL = 200
IDC_MINIMIZE = 201
IDC_ACCEPT_TERMS = 203
IDC_ACCEPT_DIRECTORY = 204
IDC_BROWSE = 205

TERMS_STATUS = "Please read the terms of the licensing agreement to continue."
CHOOSER_STATUS = "Please choose a directory for installation"
WAITING_STATUS = "Waiting for Internet Connection..."
PROGRAM_FILES_QUENZAR = re.compile(r"^C:\\Program Files( \(x86\))?\\Quenzar$")


class WindowStory(ScenarioGroup):
    """Helpers for looking at the main window."""

    def shown_window(self, timeout=20):
        found = self.driver.wait(window_class=MAIN_CLASS, visible=True, timeout=timeout)
        self.assertEqual(len(found), 1, "expected one visible main window, found %r" % found)
        return found[0]

    def refresh(self, window):
        for record in self.driver.windows(window_class=MAIN_CLASS):
            if record["hwnd"] == window["hwnd"]:
                return record
        self.fail("main window 0x%x is gone" % window["hwnd"])

    def controls(self, window):
        """Child controls by id (buttons) and by class (others)."""
        found = {}
        for child in self.driver.children(window["hwnd"]):
            key = child["id"] if child["id"] else child["class"].upper()
            self.assertNotIn(key, found, "two controls %r" % key)
            found[key] = child
        return found

    def assert_centred(self, window, height):
        screen_w, screen_h = self.driver.screen()
        self.assertEqual((window["w"], window["h"]), (420, height))
        self.assertEqual((window["x"], window["y"]), ((screen_w - 420) // 2, (screen_h - height) // 2))

    def assert_at(self, control, x, y, w, h, visible=1):
        self.assertEqual((control["x"], control["y"], control["w"], control["h"], control["visible"]),
                         (x, y, w, h, visible), control)

    def screenshot(self, window):
        time.sleep(0.5)  # let the X server catch up with Wine's painting
        return screen_pixels.capture(window["x"], window["y"], window["w"], window["h"])

    def assert_status_painted(self, shot, top, text):
        """White text starts at x 11 on the status line and is as wide as the
        text in the status font (cut at the window's right edge)."""
        first, last, count = screen_pixels.white_columns(shot, 0, top, shot.width, top + 13)
        self.assertGreater(count, 50, "no white status text at y %d" % top)
        expected = min(self.driver.text_width(text), shot.width - 11)
        self.assertLessEqual(abs(first - 11), 3, "status starts at x %d" % first)
        self.assertLessEqual(abs((last - first + 1) - expected), 6,
                             "status %d px wide, %r is %d px" % (last - first + 1, text, expected))

    def assert_panels(self, shot, large, excluded):
        """The panels sit at their offsets; only the excluded rectangles
        (controls and text) may differ from the bitmaps."""
        art = screen_pixels.artwork_dir(Config.velorin)
        top_panel = screen_pixels.read_bmp(os.path.join(art, "top_panel.bmp"))
        bottom_panel = screen_pixels.read_bmp(os.path.join(art, "bottom_panel.bmp"))
        placed = [(top_panel, 0), (bottom_panel, 278 if large else 92)]
        if large:
            placed.append((screen_pixels.read_bmp(os.path.join(art, "middle_panel.bmp")), 92))
        for panel, top in placed:
            same, total = screen_pixels.compare(shot, panel, 0, top, excluded)
            self.assertGreater(total, 0)
            self.assertGreaterEqual(same, total * 0.995,
                                    "panel at y %d: %d of %d pixels match" % (top, same, total))


class FirstStart(WindowStory):
    def test_terms_then_folder_chooser_then_cancel(self):
        self.set_state()
        expected_terms = self.built_terms_text()
        readonly = self.read_only_folder("ReadOnly")
        program = self.start()

        # -- terms
        window = self.shown_window()
        self.assertEqual(window["title"], "Quenzar")
        self.assert_centred(window, 345)
        controls = self.controls(window)
        self.assertEqual(sorted(k for k in controls if isinstance(k, int)),
                         [IDC_CANCEL, IDC_MINIMIZE, IDC_ACCEPT_TERMS])
        self.assert_at(controls["RICHEDIT"], 2, 92, 416, 186)
        self.assert_at(controls[IDC_ACCEPT_TERMS], 232, 320, 78, 19)
        self.assert_at(controls[IDC_CANCEL], 330, 320, 78, 19)
        self.assert_at(controls[IDC_MINIMIZE], 400, 3, 17, 17)
        self.assert_at(controls["MSCTLS_PROGRESS32"], 9, 300, 403, 17, visible=0)
        terms = self.driver.text(controls["RICHEDIT"]["hwnd"]).replace("\r\n", "\n")
        self.assertGreater(len(expected_terms), 40000)
        self.assertEqual(len(terms), len(expected_terms))
        self.assertEqual(terms[:200], expected_terms[:200])
        self.assertEqual(terms[-200:], expected_terms[-200:])
        self.assertEqual(terms, expected_terms)

        shot = self.screenshot(window)
        self.assert_status_painted(shot, 286, TERMS_STATUS)
        self.assert_panels(shot, large=True, excluded=[
            (2, 92, 418, 278),      # terms text
            (11, 286, 420, 306),    # status line
            (232, 320, 310, 339),   # Accept
            (330, 320, 408, 339),   # Cancel
            (400, 3, 417, 20),      # Minimize
        ])
        screen_pixels.save_png(os.path.join(self.workdir, "terms.png"), window["x"], window["y"], 420, 345)

        # The window stays put: no close, no other height, dragged anywhere.
        self.driver.post(window["hwnd"], WM_CLOSE)
        self.assertEqual(self.driver.resize(window["hwnd"], 420, 200)["h"], 345)
        self.assertEqual(self.driver.resize(window["hwnd"], 420, 159)["h"], 345)
        for x, y in ((0, 0), (210, 150), (419, 344), (405, 8)):
            self.assertEqual(self.driver.hittest(window["hwnd"], window["x"] + x, window["y"] + y), HTCAPTION)
        self.assertTrue(program.running())
        self.assertIn(IDC_ACCEPT_TERMS, self.controls(window))

        # -- folder chooser
        self.driver.press(window["hwnd"], control_id=IDC_ACCEPT_TERMS)
        time.sleep(1)
        window = self.refresh(window)
        self.assert_centred(window, 159)
        controls = self.controls(window)
        self.assertEqual(sorted(k for k in controls if isinstance(k, int)),
                         [IDC_CANCEL, IDC_MINIMIZE, IDC_ACCEPT_DIRECTORY, IDC_BROWSE])
        self.assert_at(controls[IDC_ACCEPT_DIRECTORY], 232, 134, 78, 19)
        self.assert_at(controls[IDC_BROWSE], 330, 114, 78, 19)
        self.assert_at(controls[IDC_CANCEL], 330, 134, 78, 19)
        self.assert_at(controls["RICHEDIT"], 9, 114, 301, 17)
        self.assert_at(controls["MSCTLS_PROGRESS32"], 9, 114, 403, 17, visible=0)
        edit = controls["RICHEDIT"]["hwnd"]
        self.assertRegex(self.driver.text(edit), PROGRAM_FILES_QUENZAR)
        shot = self.screenshot(window)
        self.assert_status_painted(shot, 100, CHOOSER_STATUS)
        self.assert_panels(shot, large=False, excluded=[
            (11, 100, 420, 120),    # status line
            (9, 114, 310, 131),     # folder edit
            (330, 114, 408, 133),   # Browse
            (232, 134, 310, 153),   # Accept
            (330, 134, 408, 153),   # Cancel
            (400, 3, 417, 20),      # Minimize
        ])
        self.assertEqual(self.driver.resize(window["hwnd"], 420, 345)["h"], 159)

        # Browse to a drive root: the root directly followed by Quenzar.
        self.browse(window, ["Desktop", "My Computer", "C:"])
        self.assertEqual(self.driver.text(edit), "C:\\Quenzar")
        # Browse to a folder where nothing can be written: the choice stays.
        self.browse(window, ["Desktop", "My Computer", "C:", os.path.basename(readonly)])
        self.assertEqual(self.driver.text(edit), "C:\\Quenzar")
        # Cancel in the browser changes nothing either.
        self.browse(window, ["Desktop", "My Computer", "C:", "windows"], button=2)
        self.assertEqual(self.driver.text(edit), "C:\\Quenzar")

        self.driver.post(window["hwnd"], WM_CLOSE)
        time.sleep(0.5)
        self.assertTrue(program.running(), "WM_CLOSE in the folder chooser is ignored")
        self.cancel(program, window)
        self.assertNotIn("install", self.settings(), "nothing installed without Accept")
        self.assertNotIn("CWD", self.settings())

    # -- helpers

    def built_terms_text(self):
        out = os.path.join(self.workdir, "terms.txt")
        subprocess.run([velorin_env.wine(), self.prefix.win(Config.terms_dump), self.prefix.win(out)],
                       env=self.prefix.env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(out, "rb") as f:
            return f.read().decode("latin-1")

    def read_only_folder(self, name):
        path = self.prefix.c(name)
        os.makedirs(path, exist_ok=True)
        subprocess.run(["mount", "--bind", path, path], check=True)
        subprocess.run(["mount", "-o", "remount,bind,ro", path], check=True)
        self.addCleanup(subprocess.run, ["umount", path])
        return path

    def browse(self, window, parts, button=IDOK):
        self.driver.press(window["hwnd"], control_id=IDC_BROWSE)
        found = self.driver.wait(window_class=DIALOG_CLASS, text="Choose Installation Directory", timeout=15)
        self.assertEqual(len(found), 1, "no folder browser")
        dialog = found[0]["hwnd"]
        self.assertEqual(found[0]["owner"], 0, "the folder browser has no owner")
        self.assertIn(parts[-1], self.driver.tree_select(dialog, *parts))
        self.driver.press(dialog, control_id=button)
        self.assertTrue(self.driver.gone(dialog))
        time.sleep(0.3)


class Discovery(WindowStory):
    def test_recorded_folder_that_is_gone_shows_the_terms(self):
        self.set_state(settings={"CWD": "C:\\Gone\\Quenzar"})
        program = self.start()
        window = self.shown_window()
        self.assert_centred(window, 345)
        self.assertIn("RICHEDIT", self.controls(window))
        self.assertIn(IDC_ACCEPT_TERMS, self.controls(window))
        self.cancel(program, window)
        self.assertEqual(self.service.requests(), [], "the terms fetch nothing")

    def test_recorded_folder_waits_for_the_manifest(self):
        with unreachable(UPDATE_SERVERS_ADDRESS):
            self.waits_for_the_manifest()

    def waits_for_the_manifest(self):
        install = self.prefix.c("Quenzar")
        os.makedirs(install, exist_ok=True)
        self.set_state(settings={"CWD": self.prefix.win(install)})
        program = self.start()
        window = self.shown_window()
        # The update servers cannot be reached: the manifest request fails,
        # is asked again every second, and the update waits in the small form.
        time.sleep(2)
        window = self.refresh(window)
        self.assert_centred(window, 159)
        controls = self.controls(window)
        self.assertEqual(sorted(k for k in controls if isinstance(k, int)), [IDC_CANCEL, IDC_MINIMIZE])
        self.assertNotIn("RICHEDIT", controls)
        shot = self.screenshot(window)
        self.assert_status_painted(shot, 100, WAITING_STATUS)
        self.assert_panels(shot, large=False, excluded=[
            (11, 100, 420, 120), (330, 134, 408, 153), (400, 3, 417, 20)])
        screen_pixels.save_png(os.path.join(self.workdir, "waiting.png"), window["x"], window["y"], 420, 159)

        # A close from outside during an update starts discovery again.
        self.driver.post(window["hwnd"], WM_CLOSE)
        time.sleep(1.5)
        self.assertTrue(program.running())
        window = self.refresh(window)
        self.assertEqual((window["visible"], window["h"]), (1, 159))
        self.assert_status_painted(self.screenshot(window), 100, WAITING_STATUS)

        # The first run's commands do nothing here: no terms, no browser.
        for command in (IDC_ACCEPT_TERMS, IDC_BROWSE, IDC_ACCEPT_DIRECTORY):
            self.driver.post(window["hwnd"], WM_COMMAND, command)
        self.assertEqual(self.driver.wait(window_class=DIALOG_CLASS, timeout=1.5), [])
        window = self.refresh(window)
        self.assertEqual(window["h"], 159)
        self.assertEqual(sorted(k for k in self.controls(window) if isinstance(k, int)),
                         [IDC_CANCEL, IDC_MINIMIZE])

        # Product info announced from outside: with no manifest list nothing
        # is selected, the update counts as complete, the status check lets
        # it go ahead, and the launch finds no program to start and says so
        # instead of pretending to start one.
        self.driver.post(window["hwnd"], WM_PRODUCT_INFO_READY)
        box = self.dialog(title="Error")
        self.assertEqual(box["texts"], ["The primary executable for this program is unknown.  Please try again later!"])
        self.driver.press(box["hwnd"], control_id=IDOK)
        self.assertEqual(program.wait(), 0)
        self.assertEqual([r["path"] for r in self.service.requests()],
                         ["/client/php/ServerStatus/maintenance.php"], "nothing but the status was fetched")
        self.assertEqual(self.settings(), {"CWD": self.prefix.win(install), "lastSRun": self.version_text()},
                         "no install recorded, the folder unchanged")


class UninstallHandOff(WindowStory):
    def test_yes_hands_over_to_a_temporary_copy(self):
        install = self.prefix.c("Quenzar")
        os.makedirs(install, exist_ok=True)
        self.set_state(settings={"CWD": self.prefix.win(install)})
        with open(self.stub, "rb") as f:
            stub_bytes = f.read()
        trace = os.path.join(self.workdir, "process-trace.log")
        program = self.start("/uninstall", env={"WINEDEBUG": "-all,trace+process"}, log=trace)
        box = self.dialog(title="Question")
        # The window never shows during an uninstall and closes at once; a
        # watcher follows its Cancel button from creation to destruction.
        watcher = self.driver.watch("watchstyle", IDC_CANCEL, window_class=MAIN_CLASS)
        self.driver.press(box["hwnd"], text="Yes")
        self.assertEqual(program.wait(), 0)
        watched = watcher.finish()
        shown = [r["shown"] for r in parse_records(watched)]
        # Shown from creation, hidden by the uninstall status, then destroyed
        # with the window (-1: no such child any more).
        self.assertEqual(shown[:2], [1, 0], "Cancel is hidden before the hand-off: %r" % watched)
        self.assertTrue(all(value == -1 for value in shown[2:]), watched)
        self.assertIn("gone", watched)
        # The copy removes the client and says so.
        done = self.dialog(title="Update", timeout=40)
        self.assertEqual(done["texts"], ["This product is uninstalled from your system."])
        self.driver.press(done["hwnd"], control_id=IDOK)
        subprocess.run([velorin_env.wineserver(), "-w"], env=self.prefix.env, timeout=60)

        with open(trace, "rb") as f:
            lines = f.read().decode("latin-1").splitlines()
        # Wine traces each process start's command line (more than once).
        started = sorted({m.group(1) for m in (re.search(r'cmdline L"(.*?/uninstall /self:.*?)"', line)
                                                for line in lines) if m})
        self.assertEqual(len(started), 1, "one uninstaller copy started: %r" % started)
        command = started[0].replace("\\\\", "\\")
        match = re.fullmatch(r"(\S+) /uninstall /self:(.+) /pid:(\d+)", command)
        self.assertIsNotNone(match, command)
        copy, own_path, pid = match.groups()
        self.assertEqual(own_path, self.prefix.win(self.stub))
        self.assertRegex(copy, r"(?i)\\cci[0-9A-F]+\.tmp$")
        self.assertEqual(int(pid), box["pid"], "the copy waits for the process that asked")

        # The copy is the whole program, and it finished the hand-over: it
        # waited for the first process and deleted the file it ran from.
        copies = [p for p in glob.glob(self.prefix.c("**", "cci*.tmp"), recursive=True)
                  if os.path.getsize(p) == len(stub_bytes)]
        self.assertEqual(len(copies), 1, copies)
        with open(copies[0], "rb") as f:
            self.assertEqual(f.read(), stub_bytes)
        self.assertEqual(self.prefix.win(copies[0]).lower(), copy.lower())
        self.assertFalse(os.path.exists(self.stub), "the uninstaller copy removes the program it replaced")
        self.assertFalse(os.path.exists(install), "the copy removed the install folder")
        self.assertEqual(self.service.requests(), [])


class FirstScreenTiming(WindowStory):
    """How long the first screen takes, beside a program that opens one window."""

    RUNS = 3

    def time_until_shown(self, start, window_class, text=None):
        filters = ["--class", window_class, "--visible", "--timeout", "30000"]
        if text:
            filters += ["--text", text]
        with open(os.devnull, "wb") as sink:
            waiter = subprocess.Popen([velorin_env.wine(), self.driver.exe, "wait", *filters], env=self.prefix.env,
                                      stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=sink)
            time.sleep(2)  # the driver is up and polling before the program starts
            began = time.monotonic()
            program = start()
            output = waiter.stdout.read().decode("utf-8", "replace")
            waiter.stdout.close()
            waiter.wait(60)
            elapsed = time.monotonic() - began
        records = parse_records(output)
        self.assertTrue(records, "%s did not appear" % window_class)
        return elapsed * 1000, program, records[0]

    def test_time_to_the_terms_screen(self):
        self.set_state()
        velorin_ms, minimal_ms = [], []
        for _ in range(self.RUNS):
            ms, program, window = self.time_until_shown(self.start, MAIN_CLASS, text="Accept")
            velorin_ms.append(ms)
            self.cancel(program, window)
            ms, program, window = self.time_until_shown(
                lambda: velorin_env.Program(self.prefix, self.prefix.win(Config.one_window)), "OneWindow")
            minimal_ms.append(ms)
            self.driver.post(window["hwnd"], WM_CLOSE)
            self.assertEqual(program.wait(), 0)
        velorin = statistics.median(velorin_ms)
        minimal = statistics.median(minimal_ms)
        timer = 1000.0
        line = ("first screen under Wine (median of %d): velorin.exe terms screen %.0f ms = %.0f ms fixed "
                "discovery timer + %.0f ms; one_window.exe %.0f ms; ratio without the timer %.2f" %
                (self.RUNS, velorin, timer, velorin - timer, minimal, (velorin - timer) / minimal))
        print("\n" + line, flush=True)
        if Config.measurements:
            os.makedirs(Config.measurements, exist_ok=True)
            with open(os.path.join(Config.measurements, "first_screen.txt"), "w") as f:
                f.write(line + "\n")


if __name__ == "__main__":
    velorin_env.main()
