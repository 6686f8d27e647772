#!/usr/bin/env python3
"""The demo's story, played in the scenario environment (see tests/scenario/velorin_env.py).

A player has downloaded velorin.exe and starts it for the first time: the terms
screen appears, the player accepts, the folder chooser proposes a folder, the
player browses to drive C: and accepts; the stub copy, the Start-menu and
desktop shortcuts and the toolbar button are created and the run goes on to
the update, which waits for the product list (downloading is not part of this
build). The player starts it again, then uninstalls it with "/uninstall".
Every screen
is captured as a screenshot; the demo prints what the player saw in the
player's words, and keeps the details (window records, Wine's output,
registry values) in demo.log beside the screenshots.

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

IDC_ACCEPT_TERMS = 203
IDC_ACCEPT_DIRECTORY = 204
IDC_BROWSE = 205
TOOLBAR_KEY = r"Software\Microsoft\Internet Explorer\Extensions\{6FDD5236-C9F0-49ef-935D-385F5E21991A}"


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

        folder = driver.text(edit[0]["hwnd"]) if edit else ""
        self.say("The player presses Accept to install.")
        driver.press(window["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
        time.sleep(3)
        window = self.window(driver, program)
        if not window:
            return 1
        states += ["install actions", "discovery", "update (waiting)"]
        self.capture("installed-waiting")
        self.say("The install actions ran and the installer went on to the update; it waits for the product "
                 "list, because downloading is not part of this build yet.")
        driver.post(window["hwnd"], WM_COMMAND, IDC_CANCEL)
        code = program.wait(30)
        states.append("shutdown")
        install = os.path.join(prefix.c(), *folder[3:].split("\\")) if folder.startswith("C:\\") else ""
        if install and os.path.isdir(install):
            self.say("In %s: %s." % (folder, ", ".join(sorted(os.listdir(install)))))
        else:
            self.fail("no install folder %r" % folder)
        links = []
        for csidl in (2, 23, 25):
            base = driver.folder(csidl)
            for parent, _, names in os.walk(os.path.join(prefix.c(), *base[3:].split("\\"))):
                for name in names:
                    if name.startswith(("Quenzar", "Uninstall")) and name.endswith(".lnk"):
                        path = prefix.win(os.path.join(parent, name))
                        link = driver.shortcut(path)
                        links.append("%s -> %s %s (in %s)" % (path, link["target"], link["args"], link["workdir"]))
        self.say("Shortcuts, each loaded back:\n" + "\n".join("  " + line for line in links))
        registry = prefix.registry()
        self.note("HKCU\\%s after the first start: %r" % (SETTINGS_KEY, registry.values(SETTINGS_KEY)))
        toolbar = registry.values(TOOLBAR_KEY)
        self.say("Browser toolbar button: %s." % ", ".join("%s=%s" % item for item in sorted(toolbar.items())))
        self.say("States of the first start: %s." % " -> ".join(states))

        # -- the player starts it again
        self.say("The player starts the installer again (client installed in %s)." % folder)
        program = Program(prefix, prefix.win(stub), cwd=download, log=wine_log)
        window = self.window(driver, program)
        if not window:
            return 1
        time.sleep(2)
        self.controls(driver, window)
        self.say("The installer is waiting for an internet connection (\"Waiting for Internet Connection...\"): "
                 "fetching the product list is not part of this build yet, so it keeps waiting.")
        self.capture("waiting-for-connection")
        self.say("The web page shown during an update appears only once the product list has arrived; under "
                 "Wine its area would stay blank anyway, because Wine Gecko (its HTML engine) is not packaged "
                 "for Debian.")

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
        self.say("The installer closed (exit code %d). States of the second start: discovery -> update "
                 "(waiting) -> shutdown." % code)
        self.note("requests the service received: %r" % service.requests())

        # -- uninstall
        with prefix.edit_registry() as registry:
            registry.set_binary(DEBUG_KEY, "usgBugReports", b"\x01\x02\x03\x04")
        self.say('The player uninstalls with "/uninstall".')
        program = Program(prefix, prefix.win(stub), ["/uninstall"], cwd=download, log=wine_log)
        boxes = driver.wait(window_class="#32770", title="Question", timeout=20)
        if not boxes:
            self.fail("no uninstall question")
            return 1
        self.capture("uninstall-question")
        self.say('Asked "Do you wish to uninstall the poker client?", the player answers Yes.')
        driver.press(boxes[0]["hwnd"], text="Yes")
        done = driver.wait(window_class="#32770", title="Update", timeout=40)
        program.wait(30)
        if done:
            self.capture("uninstalled")
            self.say('The temporary copy removed the client and says "This product is uninstalled from your '
                     'system."')
            driver.press(done[0]["hwnd"], control_id=1)
            driver.gone(done[0]["hwnd"], timeout=10)
        else:
            self.fail("no final box after the uninstall")
        subprocess.run(["wineserver", "-w"], env=prefix.env, timeout=60)
        registry = prefix.registry()
        gone = [what for what, absent in (
            (folder, not os.path.exists(install)),
            ("the stub that was run", not os.path.exists(stub)),
            ("HKCU\\" + SETTINGS_KEY, not registry.has_key(SETTINGS_KEY)),
            ("the toolbar button", not registry.has_key(TOOLBAR_KEY)),
            ("the shortcuts", links and not any(os.path.exists(os.path.join(prefix.c(), *line.split(" -> ")[0][3:].split("\\")))
                                                 for line in links)),
        ) if absent]
        self.say("Removed: %s; the Debug key keeps %s." % (", ".join(gone), ", ".join(sorted(registry.values(DEBUG_KEY)))))
        if len(gone) != 5:
            self.fail("not everything was removed")

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
