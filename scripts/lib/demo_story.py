#!/usr/bin/env python3
"""The demo's story, played in the scenario environment (see tests/scenario/velorin_env.py).

A player has downloaded velorin.exe and starts it: the stub comes up with its
hidden main window, the player opens the About box with Alt+"?", closes it,
and cancels the run. Every state is captured as a screenshot; at the end the
demo prints the exit code and what the stub left in the registry.

Usage: demo_story.py --velorin EXE --driver EXE --template DIR --out DIR [--pause SECONDS]
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "scenario"))

import velorin_env  # noqa: E402
from velorin_env import (ALT_KEY_LPARAM, DEBUG_KEY, IDC_CANCEL, MAIN_CLASS, SETTINGS_KEY, WM_COMMAND,  # noqa: E402
                         WM_SYSKEYDOWN, Config, Driver, Prefix, Program, Service)


class Story:
    def __init__(self, out, pause):
        self.out = out
        self.pause = pause
        self.shots = []

    def say(self, text):
        print("demo: " + text, flush=True)

    def capture(self, name):
        """Saves a screenshot of the whole screen for this state."""
        time.sleep(self.pause or 0.3)  # let Wine finish painting
        path = os.path.join(self.out, "%02d-%s.png" % (len(self.shots) + 1, name))
        result = subprocess.run(["import", "-window", "root", path], capture_output=True, text=True)
        if result.returncode == 0:
            self.shots.append(path)
            self.say("screenshot %s" % path)
        else:
            self.say("screenshot %s failed: %s" % (name, result.stderr.strip()))

    def play(self):
        workdir = Config.workdir
        service = Service(workdir)
        service.start()
        prefix = Prefix(workdir)
        try:
            return self._play(prefix, Driver(prefix))
        finally:
            prefix.remove()
            service.stop()

    def _play(self, prefix, driver):
        # A Wine desktop of its own draws window frames and captions, which a
        # bare X server without a window manager would leave out.
        with prefix.edit_registry() as registry:
            registry.set_string(r"Software\Wine\Explorer", "Desktop", "Default")
            registry.set_string(r"Software\Wine\Explorer\Desktops", "Default", "1024x768")
        self.say("service hosts %s answered by the local service" % ", ".join(Config.hosts))
        download = prefix.c("download")
        os.makedirs(download)
        stub = os.path.join(download, "velorin.exe")
        shutil.copy2(Config.velorin, stub)
        self.say("the player starts %s (file version %s)" %
                 (prefix.win(stub), ".".join(map(str, velorin_env.file_version(stub)))))
        program = Program(prefix, prefix.win(stub), cwd=download, log=os.path.join(self.out, "wine.log"))

        found = driver.wait(window_class=MAIN_CLASS, timeout=30)
        if not found:
            self.say("no main window appeared")
            self.capture("no-window")
            program.kill()
            return 1
        window = found[0]
        self.say("main window '%s' of class %s, %s, marker 0x%08X" %
                 (window["title"], window["class"], "visible" if window["visible"] else "hidden",
                  window["userdata"]))
        self.capture("started")

        self.say('the player presses Alt+"?"')
        driver.post(window["hwnd"], WM_SYSKEYDOWN, ord("?"), ALT_KEY_LPARAM)
        boxes = driver.wait(window_class="#32770", text="Velorin Version 1.0", timeout=15)
        if boxes:
            box = boxes[0]
            # The icon's control carries a resource number, not text.
            texts = [c["text"] for c in driver.children(box["hwnd"])
                     if c["text"] and c["text"].isprintable() and "\ufffd" not in c["text"]]
            self.say("About box '%s' shows: %s" % (box["title"], " | ".join(texts)))
            self.capture("about-box")
            driver.press(box["hwnd"], control_id=1)
            driver.gone(box["hwnd"], timeout=10)
            self.say("the player pressed OK")
            self.capture("about-closed")
        else:
            self.say("the About box did not appear")
            self.capture("no-about-box")

        self.say("the player cancels the run")
        driver.post(window["hwnd"], WM_COMMAND, IDC_CANCEL)
        code = program.wait(30)
        self.say("velorin.exe ended with exit code %d" % code)

        registry = prefix.registry()
        for key in (SETTINGS_KEY, DEBUG_KEY):
            values = registry.values(key)
            self.say("HKCU\\%s: %s" % (key, ", ".join("%s=%r" % item for item in sorted(values.items()))
                                         if values else "(no values)"))
        self.say("screenshots:\n" + "\n".join("  " + path for path in self.shots))
        return 0 if code == 0 and boxes else 1


def main():
    with velorin_env.environment() as rest:
        parser = argparse.ArgumentParser()
        parser.add_argument("--out", required=True)
        parser.add_argument("--pause", type=float, default=0)
        args = parser.parse_args(rest)
        os.makedirs(args.out, exist_ok=True)
        code = Story(args.out, args.pause).play()
    sys.exit(code)


if __name__ == "__main__":
    main()
