#!/usr/bin/env python3
"""Flash and the companion components on the player's machine.

An installed client whose Flash is too old: the run shows the Flash page,
fetches and runs the release's Flash installer (checked against its manifest
entry, at most once per run), asks before it ends browser windows, or waits
for Flash when the release lists no installer; then the update and the launch
follow. And on every start the image component is registered afresh from the
stub's own folder, the runtime library only when its class is missing.

The Flash control, its installer, the browser and both companions are our
own stand-ins (tests/standins). The run's log stays inside the program, so
the checks read what the run leaves behind: requests, the installer's record
of how it was started, windows, processes, files and registration calls.
"""

import os
import re
import shutil
import time

import release_builder as rb
import screen_pixels
import test_update
import velorin_env
from velorin_env import FLASH_CONTROL, MAIN_CLASS, Config, Program, ScenarioGroup

IDOK = 1
IDCANCEL = 2
FLASH_PAGE = "/client/php/flash8/index.php?mode=flash"
FLASH_PATH = "flash/install_flash.exe"
FLASH_STATUS = "You must install Flash 8 to play poker."
FLASH_QUESTION = ("Quenzar software requires Flash 8 to be installed on your computer.\nAll browser windows "
                  "will be automatically closed to continue the installation.\n\nDo you wish to continue?")


def standin(name):
    return os.path.join(Config.standins, name)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


class FlashGroup(test_update.UpdateGroup):
    """An install folder, a release, and Flash 7 registered on the machine."""

    def setUp(self):
        super().setUp()
        self.record = os.path.join(self.workdir, "installer-record.txt")
        if os.path.exists(self.record):
            os.remove(self.record)
        self.set_flash("7")

    def set_flash(self, answer):
        """Registers the Flash control at answer through its own DllRegisterServer,
        as the installer stand-in does when the test runs it."""
        program = Program(self.prefix, self.prefix.win(standin("flash_installer.exe")),
                          env={"FLASH_INSTALL_VERSION": answer, "FLASH_CONTROL_DLL": FLASH_CONTROL})
        self.assertEqual(program.wait(30), 0)

    def publish_release(self, with_installer=True):
        files = rb.story_files(count=8, seed=5)
        if with_installer:
            files[FLASH_PATH] = read_bytes(standin("flash_installer.exe"))
            return self.publish(files, extra_args=("--flash", FLASH_PATH))
        return self.publish(files)

    def expected_paths(self):
        return [p for p in super().expected_paths() if p != FLASH_PATH]

    def installer_env(self, version="8", exit_code=0):
        """What the served installer does when velorin.exe runs it."""
        return {"FLASH_INSTALL_VERSION": version, "FLASH_CONTROL_DLL": FLASH_CONTROL,
                "FLASH_INSTALL_EXIT": str(exit_code), "FLASH_INSTALLER_RECORD": self.prefix.win(self.record)}

    def installer_runs(self):
        """One record per installer run. Started with an empty command line,
        a program reads the quoted name of its own file under Wine (Windows
        gives it the empty text): "cmdline" is "" for either, anything else is
        kept as read."""
        if not os.path.exists(self.record):
            return []
        runs = []
        with open(self.record) as f:
            for line in f:
                run = dict(field.split("=", 1) for field in line.rstrip("\n").split("\t"))
                if re.fullmatch(r'"?C:\\users\\[^\\"]+\\Temp\\cci[0-9a-f]+\.tmp"?', run["cmdline"], re.I):
                    run["cmdline"] = ""
                runs.append(run)
        return runs

    def targets(self, path=None):
        return [r["target"] for r in self.service.requests() if path is None or r["target"] == path]

    def wait_for_requests(self, path, count, timeout=60):
        deadline = time.monotonic() + timeout
        while len(self.targets(path)) < count:
            self.assertLess(time.monotonic(), deadline, "%d requests of %s: %r" % (count, path, self.targets()))
            time.sleep(0.2)

    def assert_updated_and_launched(self):
        self.assert_whole(self.expected_paths())
        self.assertEqual(self.targets()[-1], test_update.MAINTENANCE, "the status check ends the update")
        self.assertIn("lastRun", self.settings())
        self.assertEqual(self.temp_files(), [])


class FlashInstaller(FlashGroup):
    def test_exit_code_decides_then_once_per_run_and_only_when_it_matches_its_entry(self):
        self.publish_release()
        installer = rb.served_path(FLASH_PATH)

        # Flash 7, an installer that fails: the run ends when it closes, and
        # nothing of the client is fetched.
        program = self.start(env=self.installer_env(version="", exit_code=1))
        self.assertEqual(program.wait(60), 0)
        self.prefix.stop()
        self.assertEqual(self.targets("/product.txt"), ["/product.txt"])
        self.assertIn(FLASH_PAGE, self.targets(), "the Flash page in the middle area")
        self.assertEqual([t for t in self.targets() if t.startswith("/client/r")], [installer])
        self.assertNotIn(test_update.UPDATE_PAGE, self.targets())
        self.assertEqual(os.listdir(self.install), [])
        # Started with an empty command line, no browser open and nobody asked.
        self.assertEqual(self.installer_runs(), [{"cmdline": "", "browsers": "0"}])
        self.assertEqual(self.temp_files(), [], "the installer is deleted after its run")
        self.assertNotIn("lastRun", self.settings())

        # It registers Flash 8 and ends with 0: discovery again, then the
        # update and the launch.
        self.clear_log()
        program = self.start(env=self.installer_env(version="8"))
        self.assertEqual(program.wait(120), 0)
        self.prefix.stop()
        self.assertEqual(len(self.installer_runs()), 2)
        targets = self.targets()
        self.assertEqual(targets.count("/product.txt"), 2)
        self.assertEqual(targets.count(installer), 1)
        self.assertLess(targets.index(installer), len(targets) - 1 - targets[::-1].index("/product.txt"),
                        "the manifest is fetched again after the installer")
        self.assertIn(FLASH_PAGE, targets)
        self.assertIn(test_update.UPDATE_PAGE, targets)
        self.assert_updated_and_launched()

        # An installer that ends with 0 but leaves Flash 7: the run does not
        # fetch it again but waits for Flash; Flash 9 appears, the run goes on.
        self.set_flash("7")
        self.clear_log()
        program = self.start(env=self.installer_env(version=""))
        self.wait_for_requests(installer, 1)
        self.wait_for_requests("/product.txt", 2)  # discovery after the installer
        time.sleep(7)  # the first poll ticks after 1 s, the next after 5 s more
        self.assertTrue(program.running(), "waiting for Flash")
        self.assertEqual(self.targets().count(installer), 1, "fetched once in the run: %r" % self.targets())
        self.assertEqual(len(self.installer_runs()), 3, "run once in the run")
        self.set_flash("9")
        self.assertEqual(program.wait(60), 0)
        self.prefix.stop()
        self.assert_updated_and_launched()

        # A served installer of the right size whose bytes differ from its
        # entry's checksum is deleted unrun, and the window waits for Flash.
        self.set_flash("7")
        served = os.path.join(self.service.root, "client", "r7", *FLASH_PATH.split("/"))
        data = bytearray(read_bytes(served))
        data[len(data) // 2] ^= 0xFF
        with open(served, "wb") as f:
            f.write(data)
        self.clear_log()
        program = self.start(env=self.installer_env(version="8"))
        self.wait_for_requests(installer, 1)
        time.sleep(3)
        self.assertTrue(program.running(), "waiting for Flash")
        self.assertEqual(len(self.installer_runs()), 3, "the changed installer never ran")
        self.assertEqual(self.temp_files(), [], "and was deleted")
        self.assertEqual(self.targets("/product.txt"), ["/product.txt"])
        self.set_flash("8")
        self.assertEqual(program.wait(60), 0)
        self.prefix.stop()
        self.assert_updated_and_launched()


class FlashPoll(FlashGroup):
    def test_without_installer_the_window_polls_until_flash_8(self):
        self.publish_release(with_installer=False)
        program = self.start()
        self.wait_for_requests(FLASH_PAGE, 1)
        time.sleep(1.5)
        found = self.driver.windows(window_class=MAIN_CLASS, visible=True)
        self.assertEqual(len(found), 1, found)
        window = found[0]
        self.assertEqual((window["w"], window["h"]), (420, 345), "the large form")
        # The status line reads string 118 with 8: white text as wide as that.
        shot = screen_pixels.capture(window["x"], window["y"], window["w"], window["h"])
        first, last, count = screen_pixels.white_columns(shot, 0, 286, shot.width, 299)
        self.assertGreater(count, 50, "no status text")
        self.assertLessEqual(abs((last - first + 1) - self.driver.text_width(FLASH_STATUS)), 6)

        # Answers that are no version, and too old a version, keep it waiting.
        for answer in ("text", "fail", "nodispatch", "7"):
            self.set_flash(answer)
            time.sleep(5.5)
            self.assertTrue(program.running(), "still waiting after %r" % answer)
            self.assertEqual(self.targets("/product.txt"), ["/product.txt"], "after %r" % answer)
            self.assertEqual([t for t in self.targets() if t.startswith("/client/r")], [])

        # Flash 8 is enough: discovery again, the update and the launch.
        self.set_flash("8")
        self.assertEqual(program.wait(60), 0)
        self.prefix.stop()
        self.assertEqual(self.targets("/product.txt"), ["/product.txt"] * 2)
        self.assert_updated_and_launched()


class Browsers(FlashGroup):
    def test_two_browsers_cancel_keeps_both_ok_ends_both_before_the_installer(self):
        self.publish_release()
        browsers = [Program(self.prefix, self.prefix.win(standin("browser_window.exe"))) for _ in range(2)]
        self.programs += browsers
        deadline = time.monotonic() + 30
        while len(self.driver.windows(window_class="IEFrame")) < 2:
            self.assertLess(time.monotonic(), deadline, "two browser windows")
            time.sleep(0.3)

        # Cancel: the run ends, nothing is closed and no installer fetched.
        program = self.start(env=self.installer_env())
        box = self.dialog(title="Flash Installation", timeout=60)
        self.assertEqual(box["texts"], [FLASH_QUESTION])
        self.assertEqual(box["buttons"], ["OK", "Cancel"])
        self.assertEqual(self.driver.windows(window_class=MAIN_CLASS, visible=True), [],
                         "the main window is hidden while it asks")
        self.driver.press(box["hwnd"], control_id=IDCANCEL)
        self.assertEqual(program.wait(30), 0)
        self.assertTrue(all(b.running() for b in browsers))
        self.assertEqual(len(self.driver.windows(window_class="IEFrame")), 2)
        self.assertNotIn(rb.served_path(FLASH_PATH), self.targets())
        self.assertEqual(self.installer_runs(), [])

        # OK: both browser processes end before the installer starts.
        self.clear_log()
        program = self.start(env=self.installer_env())
        box = self.dialog(title="Flash Installation", timeout=60)
        self.driver.press(box["hwnd"], control_id=IDOK)
        self.assertEqual(program.wait(120), 0)
        for browser in browsers:
            browser.process.wait(10)
        self.assertEqual(self.installer_runs(), [{"cmdline": "", "browsers": "0"}])
        self.prefix.stop()
        self.assert_updated_and_launched()


RUNTIME_OVERRIDE = velorin_env.WINE_ENV["WINEDLLOVERRIDES"] + ";msvbvm60=n,b"


class Companions(ScenarioGroup):
    """The stub at C:\\download\\velorin.exe registers its companions; the
    stand-ins write each registration call to a log."""

    def setUp(self):
        super().setUp()
        self.log = os.path.join(self.workdir, "companions.log")
        self.set_state()
        self.system_copy = self.prefix.system_folder("MSVBVM60.DLL")
        self.stored = self.prefix.c("standins")
        os.makedirs(self.stored, exist_ok=True)
        for name in ("pnglib.dll", "MSVBVM60.DLL"):
            shutil.copy2(standin(name), self.stored)

    def regsvr32(self, *args):
        program = Program(self.prefix, "regsvr32", ("/s",) + args,
                          env={"WINEDLLOVERRIDES": RUNTIME_OVERRIDE})
        self.assertEqual(program.wait(30), 0)

    def start_once(self, cwd=None):
        """One start to its first screen, then Cancel; the calls it made."""
        if os.path.exists(self.log):
            os.remove(self.log)
        program = self.start(cwd=cwd, env={"COMPANION_LOG": self.prefix.win(self.log),
                                           "WINEDLLOVERRIDES": RUNTIME_OVERRIDE})
        self.cancel(program, self.main_window())
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return f.read().splitlines()

    def test_image_component_afresh_each_start_runtime_only_when_missing(self):
        beside = self.prefix.win(self.download) + "\\pnglib.dll"
        image_calls = ["unregister pnglib " + beside, "register pnglib " + beside]
        runtime_call = "register msvbvm60 C:\\windows\\system32\\MSVBVM60.DLL"
        standin_runtime = read_bytes(standin("MSVBVM60.DLL"))
        self.regsvr32("C:\\standins\\pnglib.dll")
        for name in ("pnglib.dll", "MSVBVM60.DLL"):
            shutil.copy2(standin(name), self.download)

        # The runtime class missing and an older copy in the system folder:
        # the copy beside the stub does not replace it; the one there is
        # registered.
        older = standin_runtime + b"older copy"
        with open(self.system_copy, "wb") as f:
            f.write(older)
        self.assertEqual(self.start_once(), image_calls + [runtime_call])
        self.assertEqual(read_bytes(self.system_copy), older)

        # None in the system folder: the copy beside the stub goes there.
        self.regsvr32("/u", "C:\\standins\\MSVBVM60.DLL")
        os.remove(self.system_copy)
        self.assertEqual(self.start_once(), image_calls + [runtime_call])
        self.assertEqual(read_bytes(self.system_copy), standin_runtime)

        # Both classes registered: the image component once off and on again,
        # the runtime left alone.
        self.assertEqual(self.start_once(), image_calls)
        self.measure()

        # The runtime class missing and no "MSVBVM60.DLL" anywhere: the start
        # goes on without it.
        self.regsvr32("/u", "C:\\standins\\MSVBVM60.DLL")
        os.remove(self.system_copy)
        os.remove(os.path.join(self.download, "MSVBVM60.DLL"))
        self.assertEqual(self.start_once(), image_calls)

        # A "pnglib.dll" in the folder the stub is started from, but none
        # beside the stub: it is never loaded, and the class stays missing.
        os.remove(os.path.join(self.download, "pnglib.dll"))
        self.regsvr32("/u", "C:\\standins\\pnglib.dll")
        elsewhere = self.prefix.c("elsewhere")
        os.makedirs(elsewhere, exist_ok=True)
        shutil.copy2(standin("pnglib.dll"), elsewhere)
        self.assertEqual(self.start_once(cwd=elsewhere), [])

    def measure(self):
        """The companion checks and the Flash check as a start makes them,
        timed inside flash_probe.exe beside the stub, with its own start."""
        if not Config.measurements:
            return
        probe = os.path.join(self.download, "flash_probe.exe")
        shutil.copy2(standin("flash_probe.exe"), probe)
        output = os.path.join(self.workdir, "probe.txt")
        started = time.monotonic()
        program = Program(self.prefix, self.prefix.win(probe), (self.prefix.win(output),),
                          env={"WINEDLLOVERRIDES": RUNTIME_OVERRIDE})
        self.assertEqual(program.wait(60), 0)
        whole = (time.monotonic() - started) * 1000
        os.remove(probe)
        with open(output) as f:
            figures = dict(field.split("=") for field in f.read().split())
        self.assertEqual(figures["flash_passes"], "1")
        os.makedirs(Config.measurements, exist_ok=True)
        with open(os.path.join(Config.measurements, "flash.txt"), "w") as f:
            f.write("Companion and Flash checks at start under Wine (both companions registered, "
                    "Flash stand-in 9), first call / mean of 5 more:\n"
                    "  companion checks: %s ms / %s ms\n"
                    "  Flash check:      %s ms / %s ms\n"
                    "  reference, the probe process started and ended by Wine: %.0f ms\n"
                    % (figures["companions_first_ms"], figures["companions_ms"], figures["flash_first_ms"],
                       figures["flash_ms"], whole))


if __name__ == "__main__":
    velorin_env.main()
