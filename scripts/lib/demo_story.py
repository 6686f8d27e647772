#!/usr/bin/env python3
"""The demo's story, played in the scenario environment (see tests/scenario/velorin_env.py).

A player has downloaded velorin.exe and starts it for the first time: the terms
screen appears, the player accepts, the folder chooser proposes a folder, the
player browses to drive C: and accepts. A second player, whose install folder
lacks the client's files, starts it: it fetches the product list, downloads
every file of a release published with velorin-release, checks them against
the release and reaches the point where the client would start. A third
player starts it while the update servers cannot be reached and sees it wait
for an internet connection. Every screen
is captured as a screenshot; the demo prints what the player saw in the
player's words, and keeps the details (window records, Wine's output,
registry values) in demo.log beside the screenshots.

Usage: demo_story.py --velorin EXE --driver EXE --template DIR --release-tool EXE --out DIR [--pause SECONDS]
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "scenario"))

import release_builder  # noqa: E402
import velorin_env  # noqa: E402
from velorin_env import (ALT_KEY_LPARAM, DEBUG_KEY, IDC_CANCEL, MAIN_CLASS, SETTINGS_KEY, WM_COMMAND,  # noqa: E402
                         WM_SYSKEYDOWN, Config, Driver, Prefix, Program, Service)

IDC_ACCEPT_TERMS = 203
IDC_ACCEPT_DIRECTORY = 204
IDC_BROWSE = 205

# The update servers answer on an address of their own, which the third start
# makes unreachable.
UPDATE_SERVERS_ADDRESS = "127.0.0.2"


class Story:
    def __init__(self, out, pause):
        self.out = out
        self.pause = pause
        self.shots = []
        self.log = open(os.path.join(out, "demo.log"), "w")
        self.ok = True

    def say(self, text):
        print("demo: " + text, flush=True)
        self.note(text)

    def note(self, text):
        self.log.write(text + "\n")
        self.log.flush()

    def capture(self, name):
        """Saves a screenshot of the whole screen for this screen of the story."""
        time.sleep(self.pause or 0.6)  # let Wine finish painting
        path = os.path.join(self.out, "%02d-%s.png" % (len(self.shots) + 1, name))
        result = subprocess.run(["import", "-window", "root", path], capture_output=True, text=True)
        if result.returncode == 0:
            self.shots.append(path)
            self.say("  screenshot: %s" % path)
        else:
            self.say("  screenshot %s failed: %s" % (name, result.stderr.strip()))

    def fail(self, text):
        self.say("NOT AS EXPECTED: " + text)
        self.ok = False

    def play(self):
        workdir = Config.workdir
        service = Service(workdir)
        service.start()
        prefix = Prefix(workdir)
        try:
            return self._play(prefix, Driver(prefix), service)
        finally:
            prefix.remove()
            service.stop()
            self.log.close()

    def window(self, driver, program):
        found = driver.wait(window_class=MAIN_CLASS, visible=True, timeout=30)
        if not found:
            self.fail("the installer window did not appear")
            program.kill()
            return None
        self.note("window record: %r" % found[0])
        return found[0]

    def controls(self, driver, window):
        children = driver.children(window["hwnd"])
        for child in children:
            self.note("control: %r" % {k: v for k, v in child.items() if k != "text"})
        return children

    def _wait_for_connection(self, driver, prefix, stub, download, wine_log):
        program = Program(prefix, prefix.win(stub), cwd=download, log=wine_log)
        window = self.window(driver, program)
        if not window:
            return None
        time.sleep(2)
        self.controls(driver, window)
        self.say("The installer is waiting for an internet connection (\"Waiting for Internet Connection...\"): "
                 "the product list cannot be fetched, and it asks again every second.")
        self.capture("waiting-for-connection")
        self.say('The player presses Alt+"?" for the About box.')
        driver.post(window["hwnd"], WM_SYSKEYDOWN, ord("?"), ALT_KEY_LPARAM)
        boxes = driver.wait(window_class="#32770", text="Velorin Version 1.0", timeout=15)
        if boxes:
            self.say("The About box says \"Velorin Version 1.0\".")
            self.capture("about-box")
            driver.press(boxes[0]["hwnd"], control_id=1)
            driver.gone(boxes[0]["hwnd"], timeout=10)
        else:
            self.fail("the About box did not appear")

        self.say("The player presses Cancel.")
        driver.post(window["hwnd"], WM_COMMAND, IDC_CANCEL)
        code = program.wait(30)
        self.say("The installer closed (exit code %d). States of the third start: discovery -> update "
                 "(waiting) -> shutdown." % code)
        return code

    def _play(self, prefix, driver, service):
        # A Wine desktop of its own draws the folder browser's frame and
        # caption, which a bare X server without a window manager leaves out.
        with prefix.edit_registry() as registry:
            registry.set_string(r"Software\Wine\Explorer", "Desktop", "Default")
            registry.set_string(r"Software\Wine\Explorer\Desktops", "Default", "1024x768")
        self.note("service hosts %s answered by the local service" % ", ".join(Config.hosts))
        download = prefix.c("download")
        os.makedirs(download)
        stub = os.path.join(download, "velorin.exe")
        shutil.copy2(Config.velorin, stub)
        wine_log = os.path.join(self.out, "wine.log")
        states = []

        self.say("A new player starts %s (version %s)." %
                 (prefix.win(stub), ".".join(map(str, velorin_env.file_version(stub)))))
        program = Program(prefix, prefix.win(stub), cwd=download, log=wine_log)
        window = self.window(driver, program)
        if not window:
            return 1
        children = self.controls(driver, window)
        terms = [c for c in children if c["class"].upper() == "RICHEDIT"]
        if terms and window["h"] == 345:
            length = len(driver.text(terms[0]["hwnd"]))
            screen_w, screen_h = driver.screen()
            centred = (window["x"], window["y"]) == ((screen_w - 420) // 2, (screen_h - 345) // 2)
            self.say("The terms screen appeared (%d x %d%s): %d characters of terms to read, "
                     "with Accept and Cancel below." % (window["w"], window["h"],
                                                        ", centred" if centred else ", NOT centred", length))
            states += ["discovery", "installation (terms)"]
        else:
            self.fail("the terms screen did not appear")
        self.capture("terms")

        self.say("The player presses Accept.")
        driver.press(window["hwnd"], control_id=IDC_ACCEPT_TERMS)
        time.sleep(1)
        window = self.window(driver, program)
        edit = [c for c in self.controls(driver, window) if c["class"].upper() == "RICHEDIT"]
        if edit and window["h"] == 159:
            self.say("The folder chooser appeared, proposing to install into %s." % driver.text(edit[0]["hwnd"]))
            states.append("folder chooser")
        else:
            self.fail("the folder chooser did not appear")
        self.capture("folder-chooser")

        self.say("The player presses Browse and picks drive C: in the folder browser.")
        driver.press(window["hwnd"], control_id=IDC_BROWSE)
        found = driver.wait(window_class="#32770", text="Choose Installation Directory", timeout=15)
        if found:
            try:
                driver.tree_select(found[0]["hwnd"], "Desktop", "My Computer", "C:")
            except AssertionError as error:
                self.fail(str(error))
            self.capture("folder-browser")
            driver.press(found[0]["hwnd"], control_id=1)
            driver.gone(found[0]["hwnd"], timeout=10)
            if edit:
                self.say("The folder chooser now proposes %s." % driver.text(edit[0]["hwnd"]))
            self.capture("folder-chosen")
        else:
            self.fail("the folder browser did not appear")

        self.say("The player presses Accept to install.")
        driver.press(window["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
        code = program.wait(30)
        states.append("shutdown")
        self.say("The installer closed (exit code %d): installing the client files is not part of this "
                 "build yet, so it stops here instead of pretending to install." % code)
        values = prefix.registry().values(SETTINGS_KEY)
        self.note("HKCU\\%s after the first start: %r" % (SETTINGS_KEY, values))
        self.say("States of the first start: %s." % " -> ".join(states))

        # -- a player whose install folder lacks the client's files
        install = prefix.c("Quenzar")
        os.makedirs(install, exist_ok=True)
        files = release_builder.story_files()
        files["art/intro.bin"] = os.urandom(6 << 20)
        release_builder.publish(Config.workdir, files, service.root)
        self.say("The service publishes a release of %d files made with velorin-release (%s)."
                 % (len(files), ", ".join(sorted({p.split("/")[0] + "/" for p in files}))))
        # The large file breaks off halfway; the installer resumes it five
        # seconds later, which leaves time to see the download.
        service.set_rules([{"path": release_builder.served_path("art/intro.bin"), "action": "close_after",
                            "bytes": 3 << 20, "times": 1}])
        with prefix.edit_registry() as registry:
            registry.set_string(SETTINGS_KEY, "CWD", prefix.win(install))
        self.say("A player with an empty install folder %s starts the installer." % prefix.win(install))
        program = Program(prefix, prefix.win(stub), cwd=download, log=wine_log)
        window = self.window(driver, program)
        if not window:
            return 1
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and not any(
                r["path"] == release_builder.served_path("art/intro.bin") for r in service.requests()):
            time.sleep(0.2)
        time.sleep(1)
        self.say("It fetched the product list and downloads the files one after another, the progress bar and "
                 "percent running once over the whole update. The transfer of art/intro.bin breaks off halfway.")
        self.capture("downloading")
        code = program.wait(120)
        expected = [p for p in files if p not in (release_builder.INSTALLER, release_builder.UNCHECKED)]
        whole = [p for p in expected
                 if os.path.exists(os.path.join(install, *p.split("/")))
                 and open(os.path.join(install, *p.split("/")), "rb").read() == files[p]]
        fetched = [r for r in service.requests() if r["path"].startswith("/client/r")]
        resumed = [dict(r["headers"]).get("Range") for r in fetched
                   if r["path"] == release_builder.served_path("art/intro.bin")][1:]
        self.say("The broken transfer was resumed with \"Range: %s\" and completed." % ", ".join(map(str, resumed)))
        self.say("The installer closed (exit code %d): %d of %d files are in place, byte for byte as released, "
                 "after %d file requests; the installer entry and the checksum-0 entry were not fetched."
                 % (code, len(whole), len(expected), len(fetched)))
        if len(whole) != len(expected) or code != 0:
            self.fail("the update did not store every file")
        self.say("The server status check let it go ahead, so the run reached the execution state; starting "
                 "the game client is not part of this build yet, so nothing was started.")
        self.note("requests the service received: %r" % [(r["host"], r["target"], r["status"])
                                                          for r in service.requests()])

        # -- a player whose update servers cannot be reached
        service.set_rules([])
        self.say("A third player starts the installer while the update servers cannot be reached.")
        with velorin_env.unreachable(UPDATE_SERVERS_ADDRESS):
            code = self._wait_for_connection(driver, prefix, stub, download, wine_log)
        if code is None:
            return 1
        registry = prefix.registry()
        for key in (SETTINGS_KEY, DEBUG_KEY):
            values = registry.values(key)
            self.note("HKCU\\%s: %s" % (key, ", ".join("%s=%r" % item for item in sorted(values.items()))
                                        if values else "(no values)"))
        self.say("Details (window records, registry values, requests) are in %s; Wine's output in %s."
                 % (os.path.join(self.out, "demo.log"), wine_log))
        self.say("Screenshots:\n" + "\n".join("  " + path for path in self.shots))
        return 0 if self.ok and code == 0 else 1


def main():
    Config.host_entries = [name + "=" + UPDATE_SERVERS_ADDRESS if name.startswith("update") else name
                           for name in velorin_env.DEFAULT_SERVICE_HOSTS]
    Config.hosts = [entry.split("=")[0] for entry in Config.host_entries]
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
