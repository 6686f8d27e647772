#!/usr/bin/env python3
"""What the user is asked or told at start: uninstall question, Windows gate, About box."""

import hashlib
import os

import velorin_env
from velorin_env import (ALT_KEY_LPARAM, DIALOG_CLASS, MAIN_CLASS, WM_SYSKEYDOWN, ScenarioGroup)

WM_CHAR = 0x0102


def snapshot(*folders):
    """Every file below the folders with its content digest."""
    files = {}
    for folder in folders:
        for parent, _, names in os.walk(folder):
            for name in names:
                path = os.path.join(parent, name)
                with open(path, "rb") as f:
                    files[path] = hashlib.sha256(f.read()).hexdigest()
    return files


class UninstallRequest(ScenarioGroup):
    def test_answering_no_leaves_everything_as_it_was(self):
        install = self.prefix.c("Quenzar")
        os.makedirs(install, exist_ok=True)
        for name in ("quenzar.exe", "quenzar.dll", "ATL.DLL"):
            with open(os.path.join(install, name), "wb") as f:
                f.write(b"MZ " + name.encode())
        leftover = os.path.join(self.download, "leftover.tmp")
        with open(leftover, "w") as f:
            f.write("stale")
        settings = {
            "CWD": self.prefix.win(install),
            "lastSRun": "1 0 0 1",
            "lastRun": "quenzar.exe 4242 305419896",
            "requestDelete": self.prefix.win(leftover),
        }
        debug = {"usgBugReports": b"\x01\x02\x03\x04"}
        self.set_state(settings=settings, debug=debug)
        files = snapshot(install, self.download)

        program = self.start("/uninstall")
        box = self.dialog(title="Question")
        self.assertEqual(box["texts"], ["Do you wish to uninstall the poker client?"])
        self.assertEqual(sorted(box["buttons"]), ["No", "Yes"])
        self.driver.press(box["hwnd"], text="No")
        self.assertEqual(program.wait(), 0)

        self.assertEqual(self.settings(), settings)
        self.assertEqual(self.debug_values(), debug)
        self.assertEqual(snapshot(install, self.download), files)


class WindowsGate(ScenarioGroup):
    def test_windows_95_is_refused(self):
        self.set_state(windows_version="win95")
        reported = self.driver.osversion()
        self.assertEqual((reported["platform"], reported["major"], reported["minor"]), (1, 4, 0))

        program = self.start()
        box = self.dialog(title="Error")
        self.assertEqual(box["texts"], ["Quenzar requires a minimum of Windows 98 or NT 4.0 to run"])
        self.assertEqual(box["buttons"], ["OK"])
        self.assertEqual(self.driver.windows(window_class=MAIN_CLASS), [])
        self.driver.press(box["hwnd"], text="OK")
        self.assertEqual(program.wait(), 0)
        self.assertEqual(self.settings(), {}, "nothing is recorded on a refused start")

    def test_windows_98_nt_4_2000_and_xp_go_on(self):
        for version, expected in (("win98", (1, 4, 10)), ("nt40", (2, 4, 0)),
                                  ("win2k", (2, 5, 0)), ("winxp", (2, 5, 1))):
            with self.subTest(version=version):
                self.set_state(windows_version=version)
                reported = self.driver.osversion()
                self.assertEqual((reported["platform"], reported["major"], reported["minor"]), expected)
                self.start_and_cancel()
                self.assertEqual(self.settings().get("lastSRun"), self.version_text())


class AboutBox(ScenarioGroup):
    def test_alt_question_mark_and_alt_slash_open_the_about_box(self):
        self.set_state()
        program = self.start()
        window = self.main_window()
        for key in "?/":
            with self.subTest(key=key):
                self.driver.post(window["hwnd"], WM_SYSKEYDOWN, ord(key), ALT_KEY_LPARAM)
                box = self.dialog(text="Velorin Version 1.0")
                self.assertEqual(box["owner"], window["hwnd"])
                self.assertIn("Velorin Version 1.0", box["texts"])
                self.assertEqual(box["buttons"], ["OK"])
                self.driver.press(box["hwnd"], control_id=1)
                self.assertTrue(self.driver.gone(box["hwnd"]))
                self.assertTrue(program.running())

        # The same characters typed without Alt are no shortcut.
        for key in "?/":
            self.driver.post(window["hwnd"], WM_CHAR, ord(key), 1)
        self.assertEqual(self.driver.wait(window_class=DIALOG_CLASS, timeout=1.5), [])
        self.cancel(program, window)


if __name__ == "__main__":
    velorin_env.main()
