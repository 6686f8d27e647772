#!/usr/bin/env python3
"""A player's life with the client around the downloads (test_story.py walks
the whole story with a published release): the first start installs through
the real screens (stub copy, "CWD", toolbar
button, Start-menu and desktop shortcuts, each link loaded back) and goes on
to the update; Windows 98 keeps its folders in the Windows folder; "/uninstall"
ends the recorded client and removes everything through the temporary copy,
and a process id reused by another program is left alone."""

import os
import shutil
import subprocess
import time
import zlib

import velorin_env
from velorin_env import (DEBUG_KEY, MAIN_CLASS, SETTINGS_KEY, Config, Program, ScenarioGroup)

IDOK = 1
IDC_ACCEPT_TERMS = 203
IDC_ACCEPT_DIRECTORY = 204
TOOLBAR_KEY = r"Software\Microsoft\Internet Explorer\Extensions\{6FDD5236-C9F0-49ef-935D-385F5E21991A}"
CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS = 2, 23
CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY = 16, 25
DEBUG_VALUES = {"usgBugReports": b"\x01\x02\x03\x04", "dbgBugReports": b"\x05\x06\x07\x08",
                "logBugReports": b"\x09\x0a\x0b\x0c"}


def file_checksum(path):
    """The program's file checksum of a file without a stub trailer."""
    with open(path, "rb") as f:
        return zlib.crc32(f.read(), 0xFFFFFFFF)


class Lifecycle(ScenarioGroup):
    def linux(self, windows_path):
        self.assertRegex(windows_path, r"^[Cc]:\\")
        return self.prefix.c(*[p for p in windows_path[3:].split("\\") if p])

    def wine_reg(self, *args):
        return subprocess.run([velorin_env.wine(), "reg", *args], env=self.prefix.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)

    def install_through_screens(self, windows_version=None):
        """Terms -> Accept -> folder chooser (proposed folder) -> Accept; the run
        goes on to the update, which waits for the manifest; Cancel ends it.
        Returns the chosen folder's Windows path."""
        self.set_state(windows_version=windows_version)
        program = self.start()
        found = self.driver.wait(window_class=MAIN_CLASS, visible=True, text="Accept", timeout=20)
        self.assertEqual(len(found), 1, found)
        window = found[0]
        self.driver.press(window["hwnd"], control_id=IDC_ACCEPT_TERMS)
        folder = self.chooser_folder(window)
        self.driver.press(window["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)

        # Installed: discovery finds the folder and the update waits for the
        # product list in the small form (no release is published here).
        deadline = time.monotonic() + 20
        while True:
            records = [r for r in self.driver.windows(window_class=MAIN_CLASS) if r["hwnd"] == window["hwnd"]]
            self.assertTrue(records, "the run ended instead of going on to the update")
            if records[0]["h"] == 159 and records[0]["visible"]:
                break
            self.assertLess(time.monotonic(), deadline, "no update form: %r" % records)
            time.sleep(0.3)
        self.cancel(program, window)
        return folder

    def chooser_folder(self, window):
        """The folder chooser's proposal (the program files folder of the
        program's own kind: "Program Files (x86)" for a 32-bit program)."""
        self.assertTrue(self.driver.wait(window_class=MAIN_CLASS, text="Browse", timeout=10))
        edits = [c for c in self.driver.children(window["hwnd"])
                 if c["class"].upper() == "RICHEDIT" and c["h"] == 17 and c["visible"]]
        self.assertEqual(len(edits), 1, edits)
        folder = self.driver.text(edits[0]["hwnd"])
        self.assertTrue(folder.endswith("\\Quenzar"), folder)
        return folder

    def assert_link(self, path, target, arguments):
        self.assertTrue(os.path.isfile(self.linux(path)), path)
        link = self.driver.shortcut(path)
        self.assertEqual(link["target"].lower(), target.lower(), path)
        self.assertEqual(link["args"], arguments, path)
        self.assertEqual(link["workdir"].lower(), target.rsplit("\\", 1)[0].lower(), path)
        self.assertEqual(link["description"].lower(), target.lower(), path)


class FirstInstall(Lifecycle):
    def test_terms_folder_accept_installs_and_goes_on_to_the_update(self):
        folder = self.install_through_screens()
        program_files = self.driver.folder(38)
        self.assertEqual(folder, program_files + "\\Quenzar")
        install = self.linux(folder)

        # The stub copy, whole, under the name it was started with.
        self.assertEqual(sorted(os.listdir(install)), ["velorin.exe"])
        with open(self.stub, "rb") as a, open(os.path.join(install, "velorin.exe"), "rb") as b:
            self.assertEqual(a.read(), b.read())

        registry = self.prefix.registry()
        settings = registry.values(SETTINGS_KEY)
        self.assertEqual(settings.get("CWD"), folder)
        self.assertEqual(settings.get("install"), "1", "the install is pending until the launch")
        self.assertEqual(registry.values(TOOLBAR_KEY), {
            "Default Visible": "Yes",
            "ButtonText": "Quenzar",
            "CLSID": "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}",
            "HotIcon": folder + "\\quenzar.dll,101",
            "Icon": folder + "\\quenzar.dll,102",
            "Exec": folder + "\\quenzar.exe",
        })

        target = folder + "\\quenzar.exe"
        for csidl in (CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS):
            group = self.driver.folder(csidl) + "\\Quenzar"
            self.assertEqual(sorted(os.listdir(self.linux(group))), ["Quenzar.lnk", "Uninstall.lnk"], group)
            self.assert_link(group + "\\Quenzar.lnk", target, "")
            self.assert_link(group + "\\Uninstall.lnk", target, "/uninstall")
        self.assertNotEqual(self.driver.folder(CSIDL_PROGRAMS), self.driver.folder(CSIDL_COMMON_PROGRAMS))
        self.assert_link(self.driver.folder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Quenzar.lnk", target, "")
        self.assertFalse(os.path.exists(self.linux(self.driver.folder(CSIDL_DESKTOPDIRECTORY) + "\\Quenzar.lnk")),
                         "the desktop shortcut is the all-users one")
        self.assertEqual({r["path"] for r in self.service.requests()},
                         {"/product.txt", "/affiliate/register_install_start.php"},
                         "with no release published only the product list is asked for, besides the install start")


    def test_a_stub_copy_that_cannot_be_written_ends_the_run_uninstalled(self):
        self.set_state()
        program = self.start()
        found = self.driver.wait(window_class=MAIN_CLASS, visible=True, text="Accept", timeout=20)
        self.assertEqual(len(found), 1, found)
        self.driver.press(found[0]["hwnd"], control_id=IDC_ACCEPT_TERMS)
        # The proposed folder exists but cannot be written.
        folder = self.linux(self.chooser_folder(found[0]))
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        subprocess.run(["mount", "-o", "remount,bind,ro", folder], check=True)
        self.addCleanup(subprocess.run, ["umount", folder])
        self.driver.press(found[0]["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
        # The player is told, and the run ends with no install left pending.
        box = self.dialog(title="Download Error")
        self.assertEqual(box["texts"], ["There was a problem saving files to your computer.  You may not "
                                        "have permissions or enough space available to save files!"])
        self.driver.press(box["hwnd"], control_id=IDOK)
        self.assertEqual(program.wait(), 0, "the run ends instead of going on with a half-made install")
        self.assertEqual(os.listdir(folder), [])
        settings = self.prefix.registry().values(SETTINGS_KEY)
        self.assertNotIn("install", settings)
        self.assertNotIn("CWD", settings, "nothing is recorded without a stub in the folder")
        for csidl in (CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS):
            self.assertFalse(os.path.exists(self.linux(self.driver.folder(csidl) + "\\Quenzar")))
        self.assertFalse(self.prefix.registry().has_key(TOOLBAR_KEY))


class Windows98Install(Lifecycle):
    def test_9x_folder_rules(self):
        # A Windows 98 machine keeps its Start menu and desktop in the Windows folder.
        for parts in (("windows", "Start Menu", "Programs"), ("windows", "Desktop")):
            os.makedirs(self.prefix.c(*parts), exist_ok=True)
        folder = self.install_through_screens(windows_version="win98")
        self.assertEqual(folder, "C:\\Program Files\\Quenzar")
        self.assertTrue(os.path.isfile(self.prefix.c("Program Files", "Quenzar", "velorin.exe")))
        target = folder + "\\quenzar.exe"
        # Per-user and all-users are the same files on the 9x family.
        group = "C:\\windows\\Start Menu\\Programs\\Quenzar"
        self.assertEqual(sorted(os.listdir(self.linux(group))), ["Quenzar.lnk", "Uninstall.lnk"])
        self.assert_link(group + "\\Quenzar.lnk", target, "")
        self.assert_link(group + "\\Uninstall.lnk", target, "/uninstall")
        self.assert_link("C:\\windows\\Desktop\\Quenzar.lnk", target, "")
        for csidl in (CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS):
            self.assertFalse(os.path.exists(self.linux(self.driver.folder(csidl) + "\\Quenzar")))
        self.assertEqual(self.prefix.registry().values(SETTINGS_KEY).get("CWD"), folder)


class Uninstall(Lifecycle):
    def prepare_installed_client(self):
        """An installation made through the screens, filled the way the update
        would fill it, with the Debug key and desktop leftovers beside it."""
        folder = self.install_through_screens()
        install = self.linux(folder)
        os.makedirs(os.path.join(install, "bin"))
        shutil.copy2(Config.demo_client, os.path.join(install, "bin", "demo_client.exe"))
        os.makedirs(os.path.join(install, "data", "deep", "deeper"))
        for name, text in (("data/locked.dat", b"locked"), ("data/deep/deeper/core.dbg", b"dump"),
                           ("quenzar.log", b"log")):
            with open(os.path.join(install, name), "wb") as f:
                f.write(text)
        os.chmod(os.path.join(install, "data", "locked.dat"), 0o444)
        desktop = self.linux(self.driver.folder(CSIDL_DESKTOPDIRECTORY))
        for name in ("Quenzar Client.lnk", "Quenzar.exe"):
            with open(os.path.join(desktop, name), "wb") as f:
                f.write(b"leftover")
        with self.prefix.edit_registry() as reg:
            for name, data in DEBUG_VALUES.items():
                reg.set_binary(DEBUG_KEY, name, data)
        for key in (r"HKLM\Software\Tavelin\QuenzarClient", "HKLM\\" + TOOLBAR_KEY):
            self.assertEqual(self.wine_reg("add", key, "/v", "CWD", "/d", folder, "/f").returncode, 0)
        return folder, install

    def start_client(self, folder, install):
        """The demo client started from the install folder; its process id."""
        record = os.path.join(self.workdir, "client-record.txt")
        if os.path.exists(record):
            os.remove(record)
        client = Program(self.prefix, folder + "\\bin\\demo_client.exe", cwd=install,
                         env={"DEMO_CLIENT_RECORD": self.prefix.win(record)})
        self.programs.append(client)
        deadline = time.monotonic() + 20
        line = ""
        while not line.endswith("\n"):
            self.assertLess(time.monotonic(), deadline, "the demo client did not start")
            time.sleep(0.2)
            if os.path.exists(record):
                with open(record) as f:
                    line = f.read()
        fields = dict(field.split("=", 1) for field in line.rstrip("\n").split("\t"))
        self.assertEqual(fields["cwd"].lower(), folder.lower())
        pid = int(fields["pid"])
        self.assertTrue(self.driver.wait(window_class="QuenzarDemoClient", timeout=20))
        return client, pid

    def uninstall(self, client_left=False):
        """"/uninstall" answered Yes; the uninstaller copy's final box answered OK.
        Waits for every process of the prefix, or (with a client left running)
        for the final box to go, after which the copy ends."""
        program = self.start("/uninstall")
        box = self.dialog(title="Question")
        self.driver.press(box["hwnd"], text="Yes")
        done = self.dialog(title="Update", timeout=40)
        self.assertEqual(done["texts"], ["This product is uninstalled from your system."])
        self.assertEqual(done["buttons"], ["OK"])
        self.assertEqual(program.wait(), 0)
        self.driver.press(done["hwnd"], control_id=IDOK)
        self.assertTrue(self.driver.gone(done["hwnd"]))
        if client_left:
            time.sleep(1.5)
        else:
            subprocess.run([velorin_env.wineserver(), "-w"], env=self.prefix.env, timeout=60)

    def assert_removed(self, folder):
        registry = self.prefix.registry()
        self.assertFalse(registry.has_key(SETTINGS_KEY), registry.values(SETTINGS_KEY))
        self.assertFalse(registry.has_key(TOOLBAR_KEY))
        self.assertEqual(registry.values(DEBUG_KEY), DEBUG_VALUES, "the Debug key survives")
        for key in (r"HKLM\Software\Tavelin\QuenzarClient", "HKLM\\" + TOOLBAR_KEY):
            self.assertNotEqual(self.wine_reg("query", key).returncode, 0, key)
        for csidl in (CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS):
            self.assertFalse(os.path.exists(self.linux(self.driver.folder(csidl) + "\\Quenzar")))
        for csidl, name in ((CSIDL_COMMON_DESKTOPDIRECTORY, "Quenzar.lnk"),
                            (CSIDL_DESKTOPDIRECTORY, "Quenzar Client.lnk"), (CSIDL_DESKTOPDIRECTORY, "Quenzar.exe")):
            self.assertFalse(os.path.exists(self.linux(self.driver.folder(csidl) + "\\" + name)), name)
        self.assertFalse(os.path.exists(self.stub), "the stub that was run is gone")

    def test_yes_ends_the_recorded_client_and_removes_everything(self):
        folder, install = self.prepare_installed_client()
        client, pid = self.start_client(folder, install)
        checksum = file_checksum(os.path.join(install, "bin", "demo_client.exe"))
        self.assertEqual(self.wine_reg("add", "HKCU\\" + SETTINGS_KEY, "/v", "lastRun", "/d",
                                       "bin\\demo_client.exe %d %d" % (pid, checksum), "/f").returncode, 0)
        self.uninstall()
        self.assertFalse(client.running(), "the recorded client was ended")
        self.assertFalse(os.path.exists(install), os.listdir(install) if os.path.exists(install) else "")
        self.assert_removed(folder)

    def test_reused_process_id_is_left_alone(self):
        folder, install = self.prepare_installed_client()
        client, pid = self.start_client(folder, install)
        checksum = file_checksum(os.path.join(install, "bin", "demo_client.exe"))
        # The recorded launch was of another file: the checksum differs.
        self.assertEqual(self.wine_reg("add", "HKCU\\" + SETTINGS_KEY, "/v", "lastRun", "/d",
                                       "bin\\demo_client.exe %d %d" % (pid, checksum ^ 1), "/f").returncode, 0)
        self.uninstall(client_left=True)
        self.assertTrue(client.running(), "a process the stub did not start is left alone")
        # Only what the running program holds survives the removal.
        left = sorted(os.path.relpath(os.path.join(p, n), install) for p, _, names in os.walk(install) for n in names)
        self.assertEqual(left, ["bin/demo_client.exe"])
        client.kill()
        self.assert_removed(folder)


if __name__ == "__main__":
    velorin_env.main()
