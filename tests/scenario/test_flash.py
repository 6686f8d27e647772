#!/usr/bin/env python3
"""Flash and the companions: with too old a Flash the run shows the Flash page, then runs the release's
installer (checked, once per run) after asking to end browsers, or waits for Flash; then updates and
launches. Each start registers the image component afresh, the runtime only when missing."""

import os
import re
import shutil
import time

import release_builder as rb
import screen_pixels
import test_update
import velorin_env
from velorin_env import FLASH_CONTROL, MAIN_CLASS, Config, ScenarioGroup, read, records, write, write_figure

FLASH_PAGE = "/client/php/flash8/index.php?mode=flash"
FLASH_PATH = "flash/install_flash.exe"
FLASH_QUESTION = ("Quenzar software requires Flash 8 to be installed on your computer.\nAll browser windows "
                  "will be automatically closed to continue the installation.\n\nDo you wish to continue?")
RUNTIME_ENV = {"WINEDLLOVERRIDES": velorin_env.WINE_ENV["WINEDLLOVERRIDES"] + ";msvbvm60=n,b"}


def standin(name):
    return os.path.join(Config.standins, name)


class FlashRuns(test_update.UpdateGroup):
    """An install folder, a release, and Flash 7 registered on the machine."""

    def setUp(self):
        super().setUp()
        self.record = self.scratch("installer-record.txt")
        self.set_flash("7")

    def set_flash(self, answer):
        """Registers the Flash control at that answer, as the installer stand-in does when run."""
        self.assertEqual(self.start(exe=self.prefix.win(standin("flash_installer.exe")), env={
            "FLASH_INSTALL_VERSION": answer, "FLASH_CONTROL_DLL": FLASH_CONTROL}).wait(30), 0)

    def publish_release(self, with_installer=True):
        files = dict(rb.story_files(count=8, seed=5), **({FLASH_PATH: read(standin("flash_installer.exe"))}
                                                          if with_installer else {}))
        return self.publish(files, extra_args=("--flash", FLASH_PATH) if with_installer else ())

    def expected_paths(self):
        return [p for p in super().expected_paths() if p != FLASH_PATH]

    def start_with_installer(self, version="8", exit_code=0):
        """A start whose served installer registers that version and ends with that code."""
        return self.start(env={"FLASH_INSTALL_VERSION": version, "FLASH_CONTROL_DLL": FLASH_CONTROL,
                               "FLASH_INSTALL_EXIT": str(exit_code),
                               "FLASH_INSTALLER_RECORD": self.prefix.win(self.record)})

    def installer_runs(self):
        """One record per run; "cmdline" "" for an empty one (under Wine the quoted name of its own file)."""
        own_name = re.compile(r'"?C:\\users\\[^\\"]+\\Temp\\cci[0-9a-f]+\.tmp"?', re.I)
        return [dict(run, cmdline="" if own_name.fullmatch(run["cmdline"]) else run["cmdline"])
                for run in records(self.record)]

    def targets(self, path=None):
        return [r["target"] for r in self.service.requests() if path is None or r["target"] == path]

    def wait_for_requests(self, path, count, timeout=60):
        self.poll(lambda: len(self.targets(path)) >= count, timeout, "%d requests of %s" % (count, path))

    def assert_ends_updated_and_launched(self, program, manifests):
        self.assertEqual(program.wait(120), 0)
        self.prefix.stop()
        self.assertEqual(self.targets("/product.txt"), ["/product.txt"] * manifests, "discovery again")
        self.assert_whole(self.expected_paths())
        self.assertEqual(self.targets()[-1], test_update.MAINTENANCE, "the status check ends the update")
        self.assertIn("lastRun", self.settings())
        self.assertEqual(self.temp_files(), [])

    def test_installer_exit_code_decides_then_once_per_run_and_only_when_it_matches_its_entry(self):
        self.publish_release()
        installer = rb.served_path(FLASH_PATH)
        # An installer that fails ends the run when it closes; nothing of the client is fetched. It
        # was started with an empty command line, no browser open and nobody asked, then deleted.
        self.assertEqual(self.start_with_installer(version="", exit_code=1).wait(60), 0)
        self.prefix.stop()
        self.assertEqual(self.targets("/product.txt"), ["/product.txt"])
        self.assertIn(FLASH_PAGE, self.targets(), "the Flash page in the middle area")
        self.assertEqual([t for t in self.targets() if t.startswith("/client/r")], [installer])
        self.assertNotIn(test_update.UPDATE_PAGE, self.targets())
        self.assertEqual((os.listdir(self.install), self.temp_files()), ([], []))
        self.assertEqual(self.installer_runs(), [{"cmdline": "", "browsers": "0"}])
        self.assertNotIn("lastRun", self.settings())

        # Two browsers open: Cancel to the question ends the run with nothing closed or fetched; OK ends
        # both first. The installer registers Flash 8 and ends with 0: discovery again, update, launch.
        browsers = [self.start(exe=self.prefix.win(standin("browser_window.exe"))) for _ in range(2)]
        self.poll(lambda: len(self.driver.windows(window_class="IEFrame")) == 2, 30, "two browser windows", 0.3)
        for button in (2, 1):
            self.clear_log()
            program = self.start_with_installer()
            box = self.dialog(title="Flash Installation", timeout=60)
            self.assertEqual((box["texts"], box["buttons"]), ([FLASH_QUESTION], ["OK", "Cancel"]))
            self.assertEqual(self.driver.windows(window_class=MAIN_CLASS, visible=True), [], "hidden while it asks")
            self.driver.press(box["hwnd"], control_id=button)
            if button == 2:
                self.assertEqual(program.wait(30), 0)
                self.assertEqual(len(self.driver.windows(window_class="IEFrame")), 2, "Cancel closed no browser")
                self.assertNotIn(installer, self.targets())
        for browser in browsers:
            browser.process.wait(120)
        self.assert_ends_updated_and_launched(program, 2)
        targets = self.targets()
        self.assertEqual(self.installer_runs()[1:], [{"cmdline": "", "browsers": "0"}])
        self.assertEqual(targets.count(installer), 1)
        self.assertLess(targets.index(installer), len(targets) - 1 - targets[::-1].index("/product.txt"))
        self.assertIn(test_update.UPDATE_PAGE, targets)

        # Ends with 0 but leaves Flash 7: not fetched or run again, the run waits for Flash 9.
        self.set_flash("7")
        self.clear_log()
        program = self.start_with_installer(version="")
        self.wait_for_requests("/product.txt", 2)  # discovery after the installer
        time.sleep(7)  # the first poll ticks after 1 s, the next after 5 s more
        self.assertTrue(program.running(), "waiting for Flash")
        self.assertEqual(self.targets().count(installer), 1, "fetched once in the run: %r" % self.targets())
        self.assertEqual(len(self.installer_runs()), 3, "run once in the run")
        self.set_flash("9")
        self.assert_ends_updated_and_launched(program, 3)

        # An installer of the right size whose bytes differ from its entry is deleted unrun.
        self.set_flash("7")
        served = os.path.join(self.service.root, "client", "r7", *FLASH_PATH.split("/"))
        data = bytearray(read(served))
        data[len(data) // 2] ^= 0xFF
        write(served, data)
        self.clear_log()
        program = self.start_with_installer()
        self.wait_for_requests(installer, 1)
        time.sleep(3)
        self.assertTrue(program.running(), "waiting for Flash")
        self.assertEqual((len(self.installer_runs()), self.temp_files()), (3, []), "never ran, deleted")
        self.set_flash("8")
        self.assert_ends_updated_and_launched(program, 2)

    def test_without_installer_the_window_polls_until_flash_8(self):
        self.publish_release(with_installer=False)
        program = self.start()
        self.wait_for_requests(FLASH_PAGE, 1)
        time.sleep(1.5)
        window = self.driver.windows(window_class=MAIN_CLASS, visible=True)[0]
        self.assertEqual((window["w"], window["h"]), (420, 345), "the large form")
        shot = screen_pixels.capture(window["x"], window["y"], window["w"], window["h"])
        screen_pixels.assert_status_painted(self, shot, 286, "You must install Flash 8 to play poker.")
        # Answers that are no version, and too old a version, keep it waiting.
        for answer in ("text", "fail", "nodispatch", "7"):
            self.set_flash(answer)
            time.sleep(5.5)
            self.assertTrue(program.running(), "still waiting after %r" % answer)
            self.assertEqual([t for t in self.targets() if t == "/product.txt" or t.startswith("/client/r")],
                             ["/product.txt"], "after %r" % answer)
        self.set_flash("8")
        self.assert_ends_updated_and_launched(program, 2)


class Companions(ScenarioGroup):
    """The stub at C:\\download\\velorin.exe; the stand-ins log each registration call."""

    def regsvr32(self, *args):
        self.assertEqual(self.start("/s", *args, exe="regsvr32", env=RUNTIME_ENV).wait(30), 0)

    def start_once(self, cwd=None):
        """One start to its first screen, then Cancel; the registration calls it made."""
        log = self.scratch("companions.log")
        program = self.start(cwd=cwd, env=dict(RUNTIME_ENV, COMPANION_LOG=self.prefix.win(log)))
        self.cancel(program, self.main_window())
        return read(log).decode().splitlines() if os.path.exists(log) else []

    def test_image_component_afresh_each_start_runtime_only_when_missing(self):
        self.set_state()
        system_copy = self.prefix.system_folder("MSVBVM60.DLL")
        os.makedirs(self.prefix.c("standins"), exist_ok=True)
        for name in ("pnglib.dll", "MSVBVM60.DLL"):
            shutil.copy2(standin(name), self.prefix.c("standins"))
            shutil.copy2(standin(name), self.download)
        beside = self.prefix.win(self.download) + "\\pnglib.dll"
        image_calls = ["unregister pnglib " + beside, "register pnglib " + beside]
        runtime_call = "register msvbvm60 C:\\windows\\system32\\MSVBVM60.DLL"
        runtime = read(standin("MSVBVM60.DLL"))
        self.regsvr32("C:\\standins\\pnglib.dll")
        # Runtime class missing, an older copy in the system folder: that one stays and is registered.
        write(system_copy, runtime + b"older copy")
        self.assertEqual(self.start_once(), image_calls + [runtime_call])
        self.assertEqual(read(system_copy), runtime + b"older copy")
        # None in the system folder: the copy beside the stub goes there.
        self.regsvr32("/u", "C:\\standins\\MSVBVM60.DLL")
        os.remove(system_copy)
        self.assertEqual(self.start_once(), image_calls + [runtime_call])
        self.assertEqual(read(system_copy), runtime)
        # Both classes registered: the image component off and on again, the runtime left alone.
        self.assertEqual(self.start_once(), image_calls)
        self.measure()
        # Runtime missing and no "MSVBVM60.DLL" anywhere: the start goes on without it.
        self.regsvr32("/u", "C:\\standins\\MSVBVM60.DLL")
        os.remove(system_copy)
        os.remove(os.path.join(self.download, "MSVBVM60.DLL"))
        self.assertEqual(self.start_once(), image_calls)
        # A "pnglib.dll" only in the start folder, none beside the stub: never loaded.
        os.remove(os.path.join(self.download, "pnglib.dll"))
        self.regsvr32("/u", "C:\\standins\\pnglib.dll")
        elsewhere = self.prefix.c("elsewhere")
        os.makedirs(elsewhere, exist_ok=True)
        shutil.copy2(standin("pnglib.dll"), elsewhere)
        self.assertEqual(self.start_once(cwd=elsewhere), [])

    def measure(self):
        """The companion and Flash checks timed inside flash_probe.exe, beside its own start."""
        if not Config.measurements:
            return
        probe = os.path.join(self.download, "flash_probe.exe")
        shutil.copy2(standin("flash_probe.exe"), probe)
        output = os.path.join(self.workdir, "probe.txt")
        started = time.monotonic()
        program = self.start(self.prefix.win(output), exe=self.prefix.win(probe), env=RUNTIME_ENV)
        self.assertEqual(program.wait(60), 0)
        whole = (time.monotonic() - started) * 1000
        os.remove(probe)
        figures = dict(field.split("=") for field in read(output).decode().split())
        self.assertEqual(figures["flash_passes"], "1")
        write_figure("flash.txt", "Companion and Flash checks at start under Wine (both companions registered, Flash "
                     "stand-in 9), first call / mean of 5 more:\n  companion checks: %s ms / %s ms\n"
                     "  Flash check:      %s ms / %s ms\n  reference, the probe process started and ended by Wine: "
                     "%.0f ms\n" % (figures["companions_first_ms"], figures["companions_ms"], figures["flash_first_ms"],
                                    figures["flash_ms"], whole))


if __name__ == "__main__":
    velorin_env.main()
