#!/usr/bin/env python3
"""The demo's story, played in the scenario environment (see tests/scenario/velorin_env.py).

The service publishes a release made with velorin-release whose game client
is the demo client. A player who has downloaded an affiliate's quenzar.exe
(velorin.exe packed with velorin-pack) starts it: the
terms screen, Accept, the folder chooser, Accept; the installer copies itself
into the folder, makes the shortcuts and the toolbar button, downloads every
file of the release and starts the game client with its arguments. A newer
release changes one file; the next start ends the running client that holds
that file, fetches only that file and starts the client again. Then the
player uninstalls with "/uninstall" and everything is removed. Every screen
is captured as a screenshot; the demo prints what the player saw in the
player's words, and keeps the details (window records, requests, registry
values, Wine's output) in demo.log beside the screenshots.

Usage: demo_story.py --velorin EXE --driver EXE --template DIR --release-tool EXE --demo-client EXE
                     --out DIR [--pause SECONDS] [--machine-note TEXT]
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "scenario"))

import release_builder as rb  # noqa: E402
import velorin_env  # noqa: E402
from velorin_env import DEBUG_KEY, MAIN_CLASS, SETTINGS_KEY, Config, Driver, Prefix, Program, Service  # noqa: E402

IDC_ACCEPT_TERMS = 203
IDC_ACCEPT_DIRECTORY = 204
WM_CLOSE = 0x0010
CLIENT_CLASS = "QuenzarDemoClient"
TOOLBAR_KEY = r"Software\Microsoft\Internet Explorer\Extensions\{6FDD5236-C9F0-49ef-935D-385F5E21991A}"
LARGE = "art/intro.bin"
CHANGED = "sounds/file05.bin"


def size_text(count):
    return "%.1f MB" % (count / 1e6) if count >= 1e6 else "%d KB" % max(1, count // 1000)


class Story:
    def __init__(self, out, pause, machine_note=""):
        self.out = out
        self.pause = pause
        self.machine_note = machine_note
        self.shots = []
        self.log = open(os.path.join(out, "demo.log"), "w")
        self.ok = True
        self.record = os.path.join(out, "client-record.txt")

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
        if self.machine_note:
            self.say(self.machine_note)
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

    def window(self, driver, program, **filters):
        found = driver.wait(window_class=MAIN_CLASS, visible=True, timeout=30, **filters)
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

    def client_records(self, count, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if os.path.exists(self.record):
                with open(self.record) as f:
                    lines = [line for line in f.read().split("\n") if line]
                if len(lines) >= count:
                    return [dict(field.split("=", 1) for field in line.split("\t")) for line in lines]
            time.sleep(0.2)
        return None

    def wine_reg_values(self, prefix, key):
        """Registry values read with "wine reg", leaving the running client alone."""
        output = subprocess.run([velorin_env.wine(), "reg", "query", key], env=prefix.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                timeout=60).stdout.decode("utf-8", "replace")
        values = {}
        for line in output.splitlines():
            fields = line.strip().split(None, 2)
            if len(fields) >= 2 and fields[1].startswith("REG_"):
                values[fields[0]] = fields[2] if len(fields) == 3 else ""
        return values

    def client_started(self, driver, prefix, count, folder):
        """Reports the client's start: its window, its recorded command line, "lastRun"."""
        records = self.client_records(count)
        if not records:
            self.fail("the game client did not start")
            return None
        record = records[count - 1]
        windows = driver.wait(window_class=CLIENT_CLASS, timeout=20)
        self.note("client record: %r; client windows: %r" % (record, windows))
        self.say("The game client started from %s with the command line: %s" % (record["cwd"], record["cmdline"]))
        if record["cwd"].lower() != folder.lower():
            self.fail("the client did not start in the install folder")
        self.capture("client-started-%d" % count)
        values = self.wine_reg_values(prefix, "HKCU\\" + SETTINGS_KEY)
        self.note("HKCU\\%s: %r" % (SETTINGS_KEY, values))
        last_run = values.get("lastRun", "").split()
        if len(last_run) == 3 and last_run[1] == record["pid"]:
            self.say("The installer noted the launch: %s, process %s, checksum %s." % tuple(last_run))
        else:
            self.fail("the launch record %r does not name process %s" % (values.get("lastRun"), record["pid"]))
        return record

    def _play(self, prefix, driver, service):
        # A Wine desktop of its own gives the windows a frame and a caption,
        # which a bare X server without a window manager leaves out.
        with prefix.edit_registry() as registry:
            registry.set_string(r"Software\Wine\Explorer", "Desktop", "Default")
            registry.set_string(r"Software\Wine\Explorer\Desktops", "Default", "1024x768")
            registry.set_binary(DEBUG_KEY, "usgBugReports", b"\x01\x02\x03\x04")
        self.note("service hosts %s answered by the local service" % ", ".join(Config.hosts))
        download = prefix.c("download")
        os.makedirs(download)
        stub = os.path.join(download, rb.STUB)
        packed, carried = rb.packed_stub(Config.workdir, rb.AFFILIATE)
        with open(stub, "wb") as f:
            f.write(packed)
        self.say("The player's %s is velorin.exe packed for affiliate %s; it carries %s."
                 % (rb.STUB, rb.AFFILIATE, ", ".join("%s (%d bytes)" % (n, len(d)) for n, d in carried.items())))
        wine_log = os.path.join(self.out, "wine.log")
        # The client records its command line; while it runs it holds one of
        # its sound files open, as a game holds its data.
        env = {"DEMO_CLIENT_RECORD": prefix.win(self.record), "DEMO_CLIENT_HOLD": CHANGED.replace("/", "\\")}

        files = rb.story_files()
        with open(Config.demo_client, "rb") as f:
            files[rb.PRIMARY] = f.read()
        files[LARGE] = os.urandom(6 << 20)
        files[rb.STUB] = packed
        rb.publish(Config.workdir, files, service.root, name="r7", extra_args=("--stub", rb.STUB))
        fetched = sorted(p for p in files if p not in (rb.INSTALLER, rb.UNCHECKED, rb.STUB))
        self.say("The service publishes release r7 of the game, made with velorin-release: %d files, %s; its "
                 "game program %s is the demo client." % (len(files), size_text(sum(map(len, files.values()))),
                                                          rb.PRIMARY))
        # The large file breaks off once halfway; the installer resumes it five
        # seconds later, which leaves time to see the download.
        service.set_rules([{"path": rb.served_path(LARGE), "action": "close_after", "bytes": 3 << 20,
                            "times": 1}])

        # -- first start
        kind = ("the x86_64 test build" if velorin_env.pe_machine(stub) == 0x8664
                else "the i686 build that ships")
        self.say("A new player starts %s (version %s, %s, run by %s)." %
                 (prefix.win(stub), ".".join(map(str, velorin_env.file_version(stub))), kind,
                  velorin_env.wine()))
        program = Program(prefix, prefix.win(stub), cwd=download, log=wine_log, env=env)
        window = self.window(driver, program, text="Accept")
        if not window:
            return 1
        terms = [c for c in self.controls(driver, window) if c["class"].upper() == "RICHEDIT"]
        if terms and window["h"] == 345:
            self.say("The terms screen appeared: %d characters of terms to read, with Accept and Cancel below."
                     % len(driver.text(terms[0]["hwnd"])))
        else:
            self.fail("the terms screen did not appear")
        self.capture("terms")

        self.say("The player presses Accept.")
        driver.press(window["hwnd"], control_id=IDC_ACCEPT_TERMS)
        driver.wait(window_class=MAIN_CLASS, text="Browse", timeout=10)
        edit = [c for c in self.controls(driver, window) if c["class"].upper() == "RICHEDIT" and c["h"] == 17]
        folder = driver.text(edit[0]["hwnd"]) if edit else ""
        if folder:
            self.say("The folder chooser appeared, proposing to install into %s." % folder)
        else:
            self.fail("the folder chooser did not appear")
        self.capture("folder-chooser")

        self.say("The player presses Accept to install there.")
        driver.press(window["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not any(
                r["path"] == rb.served_path(LARGE) for r in service.requests()):
            time.sleep(0.2)
        time.sleep(1)
        self.say("The installer made its shortcuts and downloads the game's files one after another, the "
                 "progress bar running once over the whole download. The transfer of %s breaks off halfway."
                 % LARGE)
        self.capture("downloading")
        code = program.wait(180)
        install = os.path.join(prefix.c(), *folder[3:].split("\\")) if folder.startswith("C:\\") else ""
        whole = [p for p in fetched if os.path.isfile(os.path.join(install, *p.split("/")))
                 and open(os.path.join(install, *p.split("/")), "rb").read() == files[p]]
        requests = [r for r in service.requests() if r["path"].startswith("/client/r")]
        resumed = [dict(r["headers"]).get("Range") for r in requests if r["path"] == rb.served_path(LARGE)][1:]
        self.note("requests of the first start: %r" % [(r["host"], r["target"], r["status"])
                                                       for r in service.requests()])
        self.say("Downloaded: %d of %d game files (%s), each byte for byte as released; the broken transfer "
                 "was resumed (%s). The installer closed (exit code %d)."
                 % (len(whole), len(fetched), size_text(sum(len(files[p]) for p in whole)),
                    ", ".join(map(str, resumed)) or "not resumed", code))
        if len(whole) != len(fetched):
            self.fail("not every file was stored")
        links = []
        for csidl in (2, 23, 25):
            base = driver.folder(csidl)
            for parent, _, names in os.walk(os.path.join(prefix.c(), *base[3:].split("\\"))):
                links += [prefix.win(os.path.join(parent, n)) for n in names
                          if n.startswith(("Quenzar", "Uninstall")) and n.endswith(".lnk")]
        self.say("Also made: the installer's own copy in %s, %d shortcuts (Start menu and desktop) and the "
                 "browser toolbar button." % (folder, len(links)))
        self.note("shortcuts: %r" % links)
        first = self.client_started(driver, prefix, 1, folder)
        if not first:
            return 1

        # -- a newer release with one changed file
        newer = dict(files)
        newer[CHANGED] = files[CHANGED][::-1] + b"r8"
        service.set_rules([])
        rb.publish(Config.workdir, newer, service.root, name="r8", extra_args=("--stub", rb.STUB))
        self.say("The service publishes release r8 with velorin-release: only %s changed." % CHANGED)
        open(service.log, "w").close()
        self.say("The player starts the installer again, while the first game client still runs and holds %s "
                 "open." % CHANGED)
        program = Program(prefix, prefix.win(stub), cwd=download, log=wine_log, env=env)
        code = program.wait(180)
        requests = [r for r in service.requests() if r["path"].startswith("/client/r")]
        self.note("requests of the second start: %r" % [(r["host"], r["target"], r["status"])
                                                        for r in service.requests()])
        self.say("The installer ended the running client, downloaded %d file (%s) and closed (exit code %d)."
                 % (len(requests), ", ".join(r["path"] for r in requests), code))
        if [r["path"] for r in requests] != [rb.served_path(CHANGED, name="r8")]:
            self.fail("the update fetched more or less than the changed file")
        second = self.client_started(driver, prefix, 2, folder)
        if not second:
            return 1
        windows = driver.windows(window_class=CLIENT_CLASS)
        if [w["pid"] for w in windows] != [int(second["pid"])]:
            self.fail("the first client still runs: %r" % windows)
        self.say("The player closes the game.")
        for w in windows:
            driver.post(w["hwnd"], WM_CLOSE)
            driver.gone(w["hwnd"], timeout=10)

        # -- uninstall
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
            self.say('The installer says "This product is uninstalled from your system."')
            driver.press(done[0]["hwnd"], control_id=1)
            driver.gone(done[0]["hwnd"], timeout=10)
        else:
            self.fail("no final box after the uninstall")
        subprocess.run([velorin_env.wineserver(), "-w"], env=prefix.env, timeout=60)
        registry = prefix.registry()
        removed = [what for what, absent in (
            ("%s with its %d game files" % (folder, len(fetched)), not os.path.exists(install)),
            ("the %d shortcuts" % len(links),
             links and not any(os.path.exists(os.path.join(prefix.c(), *l[3:].split("\\"))) for l in links)),
            ("the toolbar button", not registry.has_key(TOOLBAR_KEY)),
            ("the game's settings", not registry.has_key(SETTINGS_KEY)),
        ) if absent]
        self.say("Removed: %s. The crash-report settings stay." % ", ".join(removed))
        if len(removed) != 4 or not registry.values(DEBUG_KEY):
            self.fail("not everything was removed, or the crash-report settings went too")
        self.note("HKCU\\%s after the uninstall: %r" % (DEBUG_KEY, registry.values(DEBUG_KEY)))
        self.say("Details (window records, registry values, requests) are in %s; Wine's output in %s."
                 % (os.path.join(self.out, "demo.log"), wine_log))
        self.say("Screenshots:\n" + "\n".join("  " + path for path in self.shots))
        return 0 if self.ok else 1


def main():
    with velorin_env.environment() as rest:
        parser = argparse.ArgumentParser()
        parser.add_argument("--out", required=True)
        parser.add_argument("--pause", type=float, default=0)
        parser.add_argument("--machine-note", default="", help="which build this machine runs, and why")
        args = parser.parse_args(rest)
        os.makedirs(args.out, exist_ok=True)
        code = Story(args.out, args.pause, args.machine_note).play()
    sys.exit(code)


if __name__ == "__main__":
    main()
