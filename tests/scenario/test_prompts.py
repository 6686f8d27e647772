#!/usr/bin/env python3
"""What the user is asked or told at start: the uninstall question, the Windows gate."""

import os

import velorin_env
from velorin_env import MAIN_CLASS, ScenarioGroup, read, write


class StartPrompts(ScenarioGroup):
    def test_answering_no_to_uninstall_leaves_everything_as_it_was(self):
        install = self.prefix.c("Quenzar")
        os.makedirs(install, exist_ok=True)
        for name in ("quenzar.exe", "quenzar.dll", "ATL.DLL"):
            write(os.path.join(install, name), b"MZ " + name.encode())
        leftover = os.path.join(self.download, "leftover.tmp")
        write(leftover, b"stale")
        settings = {"CWD": self.prefix.win(install), "lastSRun": "1 0 0 1", "lastRun": "quenzar.exe 4242 305419896",
                    "requestDelete": self.prefix.win(leftover)}
        debug = {"usgBugReports": b"\x01\x02\x03\x04"}
        self.set_state(settings=settings, debug=debug)

        def snapshot():
            return {os.path.join(d, n): read(os.path.join(d, n)) for top in (install, self.download)
                    for d, _, names in os.walk(top) for n in names}
        files = snapshot()
        program = self.start("/uninstall")
        box = self.dialog(title="Question")
        self.assertEqual((box["texts"], sorted(box["buttons"])),
                         (["Do you wish to uninstall the poker client?"], ["No", "Yes"]))
        self.driver.press(box["hwnd"], text="No")
        self.assertEqual(program.wait(), 0)
        self.assertEqual((self.settings(), self.debug_values(), snapshot()), (settings, debug, files))

    def test_windows_95_is_refused_nt4_goes_on(self):
        self.set_state(windows_version="win95")
        program = self.start()
        box = self.dialog(title="Error")
        self.assertEqual((box["texts"], box["buttons"]),
                         (["Quenzar requires a minimum of Windows 98 or NT 4.0 to run"], ["OK"]))
        self.assertEqual(self.driver.windows(window_class=MAIN_CLASS), [])
        self.driver.press(box["hwnd"], text="OK")
        self.assertEqual(program.wait(), 0)
        self.assertEqual(self.settings(), {}, "nothing is recorded on a refused start")
        self.set_state(windows_version="nt40")
        self.start_and_cancel()
        self.assertEqual(self.settings(), {"lastSRun": self.version_text()})


if __name__ == "__main__":
    velorin_env.main()
