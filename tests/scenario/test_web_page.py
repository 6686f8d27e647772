#!/usr/bin/env python3
"""The web page in the window's middle area and the control-hosting library
behind it: on Windows 98 the carried atl98.dll becomes "ATL.DLL" and is the
library loaded; from Windows 2000 on the system's is, whatever lies in the
program's own folder. Proven from the library the process has loaded (its
image's export name), from the page the service was asked for, and from the
files each run leaves behind. Wine has no HTML engine here, so the page area
stays white; the request is what counts."""

import os
import shutil
import time

import release_builder as rb
import velorin_env
from velorin_env import WINE_ENV, Config, ScenarioGroup

UPDATE_PAGE = "/client/php/flash8/index.php?mode=update"
MAINTENANCE = "/client/php/ServerStatus/maintenance.php"
PAGES = [("GET", UPDATE_PAGE), ("GET", MAINTENANCE)]
OUR_EXPORT_NAME = "atl98.dll"  # the DLL name inside our library's export table
FOREIGN_ATL = b"MZ an ATL.DLL that is not ours"

# Wine prefers its built-in ATL even over a file loaded by full path; "n,b"
# makes it load the file, as Windows would.
NATIVE_ATL_ENV = {"WINEDLLOVERRIDES": WINE_ENV["WINEDLLOVERRIDES"] + ";atl=n,b"}


class WebPageGroup(ScenarioGroup):
    """An install folder recorded in "CWD" with one file of the release stale,
    and a service in maintenance: the window shows the update page while it
    downloads, then the maintenance page, and stays until Cancel."""

    windows_version = None

    def setUp(self):
        super().setUp()
        self.install = self.prefix.c("Quenzar")
        shutil.rmtree(self.install, ignore_errors=True)
        os.makedirs(self.install)
        for name in os.listdir(self.download):
            if name.upper().startswith("ATL"):
                os.remove(os.path.join(self.download, name))
        files = rb.story_files(count=6, seed=5)
        rb.publish(self.workdir, files, self.service.root)
        current = sorted(p for p in files if p not in (rb.INSTALLER, rb.UNCHECKED))[1:]
        rb.write_client(self.install, {p: files[p] for p in current})
        self.service.set_rules([{"path": MAINTENANCE, "action": "body", "body": "MAINTENANCE"}])
        self.set_state(settings={"CWD": self.prefix.win(self.install)},
                       windows_version=self.windows_version)
        open(self.service.log, "w").close()

    def carry_library(self):
        # The stub that runs is the packed one: it writes the carried
        # atl98.dll itself, into the current folder at start (the install
        # folder once one is recorded).
        self.assertTrue(Config.packed and os.path.isfile(Config.packed), "--packed must name quenzar.exe")
        shutil.copy2(Config.packed, self.stub)

    def page_requests(self, timeout=40):
        """(method, target) of the requests the browser control made (the
        program's own requests say "IE"), once the maintenance page is among
        them."""
        deadline = time.monotonic() + timeout
        while True:
            pages = [(r["method"], r["target"]) for r in self.service.requests()
                     if dict(r["headers"]).get("User-Agent") != "IE"]
            if ("GET", MAINTENANCE) in pages or time.monotonic() > deadline:
                return pages
            time.sleep(0.2)

    def web_host(self, window):
        hosts = [c for c in self.driver.children(window["hwnd"]) if c["class"] == "AtlAxWin"]
        self.assertEqual(len(hosts), 1, hosts)
        return hosts[0]

    def loaded(self, window, name):
        code, output = self.driver.run("module", window["pid"], name)
        records = velorin_env.parse_records(output)
        return records[0] if code == 0 and records else None

    def carried_library_story(self):
        """The carried copy becomes ATL.DLL, is the library loaded, shows both
        pages in a control that follows the host's size, and is deleted at
        the end; the start folder's own ATL.DLL stays."""
        self.carry_library()
        # The folder the stub was started from has an ATL.DLL of its own,
        # which the shutdown must leave alone.
        foreign = os.path.join(self.download, "ATL.DLL")
        with open(foreign, "wb") as f:
            f.write(FOREIGN_ATL)
        program = self.start(env=NATIVE_ATL_ENV)
        window = self.main_window()

        self.assertEqual(self.page_requests(), PAGES)
        self.assertEqual(self.atl_files(self.install), ["ATL.DLL"], "the carried copy renamed in place")
        with open(os.path.join(self.install, "ATL.DLL"), "rb") as f, open(Config.atl98, "rb") as built:
            self.assertEqual(f.read(), built.read(), "the library the stub carries, written whole")
        module = self.loaded(window, "ATL.DLL")
        self.assertEqual(module, {"path": self.prefix.win(os.path.join(self.install, "ATL.DLL")),
                                  "exports": OUR_EXPORT_NAME})

        # The control fills the host window and follows its size.
        host = self.web_host(window)
        self.assertEqual((host["x"], host["y"], host["w"], host["h"]), (2, 92, 416, 186))
        self.assert_control_fills(host, 416, 186)
        self.driver.resize(host["hwnd"], 300, 120)
        self.assert_control_fills(host, 300, 120)

        self.cancel(program, window)
        self.assertEqual(self.atl_files(self.install), [], "the run's own ATL.DLL is deleted")
        with open(foreign, "rb") as f:
            self.assertEqual(f.read(), FOREIGN_ATL)

    def assert_control_fills(self, host, width, height):
        deadline = time.monotonic() + 10
        while True:
            inside = self.driver.children(host["hwnd"])
            if any((c["x"], c["y"], c["w"], c["h"]) == (0, 0, width, height) for c in inside):
                return
            if time.monotonic() > deadline:
                self.fail("no window of the control fills %dx%d: %r" % (width, height, inside))
            time.sleep(0.2)

    @staticmethod
    def atl_files(folder):
        return sorted(n for n in os.listdir(folder) if n.upper().startswith("ATL"))


class Windows98(WebPageGroup):
    windows_version = "win98"

    def test_carried_library_becomes_atl_and_shows_the_page(self):
        self.carried_library_story()

    def test_a_folder_with_its_own_atl_keeps_it_and_loads_the_carried_copy(self):
        self.carry_library()
        own = os.path.join(self.install, "ATL.DLL")
        with open(own, "wb") as f:
            f.write(FOREIGN_ATL)
        program = self.start(env=NATIVE_ATL_ENV)
        window = self.main_window()

        self.assertEqual(self.page_requests(), PAGES)
        self.assertIsNone(self.loaded(window, "ATL.DLL"), "the folder's own file is never loaded")
        self.assertEqual(self.loaded(window, "atl98.dll")["exports"], OUR_EXPORT_NAME)

        self.cancel(program, window)
        with open(own, "rb") as f:
            self.assertEqual(f.read(), FOREIGN_ATL)

    def test_first_start_from_another_folder_removes_the_atl_it_placed(self):
        # Before installation expansion writes into the program's own folder,
        # and the library is placed there, not in the current folder.
        self.carry_library()
        self.set_state(windows_version=self.windows_version)
        elsewhere = self.prefix.c("elsewhere")
        os.makedirs(elsewhere, exist_ok=True)
        program = self.start(cwd=elsewhere, env=NATIVE_ATL_ENV)
        window = self.main_window()
        self.assertEqual(self.atl_files(self.download), ["ATL.DLL"])
        self.cancel(program, window)
        self.assertEqual(self.atl_files(self.download), [], "placed beside the stub, deleted there")
        self.assertEqual(os.listdir(elsewhere), [])


class WindowsNT4(WebPageGroup):
    """NT 4.0 is of the NT family but has no ATL.DLL either."""

    windows_version = "nt40"

    def test_carried_library_becomes_atl_and_shows_the_page(self):
        self.carried_library_story()


class Windows2000AndLater(WebPageGroup):
    windows_version = "win2k"

    def test_system_library_serves_and_the_programs_folder_is_not_searched(self):
        self.carry_library()
        # A loadable library named ATL.DLL beside the stub (as in a player's
        # download folder) is not what a load from the system folder finds.
        planted = os.path.join(self.download, "ATL.DLL")
        shutil.copy2(Config.atl98, planted)
        program = self.start(env=NATIVE_ATL_ENV)
        window = self.main_window()

        self.assertEqual(self.page_requests(), PAGES)
        module = self.loaded(window, "ATL.DLL")
        self.assertIsNotNone(module)
        self.assertTrue(module["path"].lower().startswith("c:\\windows\\"), module)
        self.assertNotEqual(module["exports"], OUR_EXPORT_NAME)
        self.assertEqual(self.atl_files(self.install), ["atl98.dll"], "nothing renamed")

        self.cancel(program, window)
        self.assertTrue(os.path.exists(planted), "a file the run did not make is not deleted")


if __name__ == "__main__":
    velorin_env.main()
