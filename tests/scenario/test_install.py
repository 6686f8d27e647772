#!/usr/bin/env python3
"""The install through the real screens with no release (stub copy, registry, shortcuts), a folder that cannot
be written, Windows 98's folders, and "/uninstall" leaving alone a client launched from another file."""

import os
import shutil
import subprocess

import release_builder as rb
import velorin_env
from test_story import (CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS,
                        IDC_ACCEPT_DIRECTORY, IDOK, SAVING_FAILED, TOOLBAR_KEY, StoryGroup)
from velorin_env import SETTINGS_KEY, Config, read


class FirstInstall(StoryGroup):
    def install_through_screens(self, windows_version=None):
        """The proposed folder accepted; Cancel on the update's small form, which waits for the manifest."""
        self.set_state(windows_version=windows_version)
        program, window = self.accept_screens(None)
        folder = self.chooser_folder(window)
        self.driver.press(window["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
        self.wait_for_form(window, 159)
        self.cancel(program, window)
        return folder

    def chooser_folder(self, window):
        edits = [c for c in self.driver.children(window["hwnd"])
                 if c["class"].upper() == "RICHEDIT" and c["h"] == 17 and c["visible"]]
        self.assertEqual(len(edits), 1, edits)
        return self.driver.text(edits[0]["hwnd"])

    def assert_no_groups(self):
        for csidl in (CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS):
            self.assertFalse(os.path.exists(self.linux(self.driver.folder(csidl) + "\\Quenzar")))

    def assert_links(self, group, desktop, target):
        self.assertEqual(sorted(os.listdir(self.linux(group))), ["Quenzar.lnk", "Uninstall.lnk"], group)
        for path, arguments in ((group + "\\Quenzar.lnk", ""), (group + "\\Uninstall.lnk", "/uninstall"),
                                (desktop + "\\Quenzar.lnk", "")):
            link = self.driver.shortcut(path)
            self.assertEqual([link["target"].lower(), link["args"], link["workdir"].lower(), link["description"].lower()],
                             [target.lower(), arguments, target.rsplit("\\", 1)[0].lower(), target.lower()], path)

    def test_unwritable_folder_then_install_and_uninstall_leaving_a_reused_process_id_then_windows_98(self):
        # A stub copy that cannot be written ends the run with nothing recorded; the install goes on in that folder.
        self.set_state()
        program, window = self.accept_screens(None)
        folder = self.linux(self.chooser_folder(window))
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        subprocess.run(["mount", "-o", "remount,bind,ro", folder], check=True)
        self.driver.press(window["hwnd"], control_id=IDC_ACCEPT_DIRECTORY)
        box = self.dialog(title="Download Error")
        self.assertEqual(box["texts"], [SAVING_FAILED])
        self.driver.press(box["hwnd"], control_id=IDOK)
        self.assertEqual(program.wait(), 0, "the run ends instead of going on with a half-made install")
        subprocess.run(["umount", folder], check=True)
        self.assertEqual(os.listdir(folder), [])
        registry = self.prefix.registry()
        self.assertEqual(([n for n in ("CWD", "install") if n in registry.values(SETTINGS_KEY)],
                          registry.has_key(TOOLBAR_KEY)), ([], False), "no stub, no record")
        self.assert_no_groups()

        folder = self.install_through_screens()
        self.assertEqual(folder, self.driver.folder(38) + "\\Quenzar", "Program Files of a 32-bit program")
        install = self.linux(folder)
        self.assertEqual(sorted(os.listdir(install)), ["velorin.exe"])
        self.assertEqual(read(os.path.join(install, "velorin.exe")), read(self.stub),
                         "the stub copy, whole, under the name it was started with")
        registry = self.prefix.registry()
        settings = registry.values(SETTINGS_KEY)
        self.assertEqual((settings.get("CWD"), settings.get("install")), (folder, "1"), "pending until the launch")
        self.assertEqual(registry.values(TOOLBAR_KEY), {
            "Default Visible": "Yes", "ButtonText": "Quenzar", "CLSID": "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}",
            "HotIcon": folder + "\\quenzar.dll,101", "Icon": folder + "\\quenzar.dll,102",
            "Exec": folder + "\\quenzar.exe"})
        for csidl in (CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS):
            self.assert_links(self.driver.folder(csidl) + "\\Quenzar",
                              self.driver.folder(CSIDL_COMMON_DESKTOPDIRECTORY), folder + "\\quenzar.exe")
        self.assertNotEqual(self.driver.folder(CSIDL_PROGRAMS), self.driver.folder(CSIDL_COMMON_PROGRAMS))
        self.assertFalse(os.path.exists(self.linux(self.driver.folder(CSIDL_DESKTOPDIRECTORY) + "\\Quenzar.lnk")),
                         "the desktop shortcut is the all-users one")
        self.assertEqual({r["path"] for r in self.service.requests()},
                         {"/product.txt", "/affiliate/register_install_start.php"})

        # A client whose recorded launch was of another file (the checksum differs) is left running,
        # and only what it holds survives the removal.
        self.leave_traces(folder, install)
        os.makedirs(os.path.join(install, "bin"))
        shutil.copy2(Config.demo_client, os.path.join(install, "bin", "demo_client.exe"))
        client = self.start(exe=folder + "\\bin\\demo_client.exe", cwd=install,
                            env={"DEMO_CLIENT_RECORD": self.prefix.win(self.record)})
        pid = self.client_lines(1)[0]["pid"]
        self.assertTrue(self.driver.wait(window_class="QuenzarDemoClient", timeout=20))
        checksum = rb.checksum(read(Config.demo_client))
        self.set_live("lastRun", "bin\\demo_client.exe %s %d" % (pid, checksum ^ 1))
        self.uninstall(client_left=True)
        self.assertTrue(client.running(), "a process the stub did not start is left alone")
        self.assertEqual([os.path.relpath(os.path.join(p, n), install) for p, _, names in os.walk(install) for n in names],
                         ["bin/demo_client.exe"])
        client.kill()
        self.assert_removed()

        # Windows 98 keeps the Start menu and desktop in the Windows folder, per-user and all-users alike.
        for parts in (("windows", "Start Menu", "Programs"), ("windows", "Desktop")):
            os.makedirs(self.prefix.c(*parts), exist_ok=True)
        shutil.copy2(Config.velorin, self.stub)  # the uninstall removed it
        folder = self.install_through_screens(windows_version="win98")
        self.assertEqual(folder, "C:\\Program Files\\Quenzar")
        self.assertTrue(os.path.isfile(self.prefix.c("Program Files", "Quenzar", "velorin.exe")))
        self.assert_links("C:\\windows\\Start Menu\\Programs\\Quenzar", "C:\\windows\\Desktop", folder + "\\quenzar.exe")
        self.assert_no_groups()
        self.assertEqual(self.prefix.registry().values(SETTINGS_KEY).get("CWD"), folder)


if __name__ == "__main__":
    velorin_env.main()
