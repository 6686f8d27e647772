#!/usr/bin/env python3
"""The web page in the window's middle area and the control-hosting library behind it: on Windows
98 and NT 4.0 the carried atl98.dll becomes "ATL.DLL" and is loaded; from 2000 on the system's is.
Wine has no HTML engine here, so the page stays white: the request and the loaded module count."""

import os
import re
import shutil

import release_builder as rb
import velorin_env
from velorin_env import WINE_ENV, Config, ScenarioGroup, read, write

MAINTENANCE = "/client/php/ServerStatus/maintenance.php"
PAGES = [("GET", "/client/php/flash8/index.php?mode=update"), ("GET", MAINTENANCE)]
FOREIGN_ATL = b"MZ an ATL.DLL that is not ours"
# Wine prefers its built-in ATL even over a file loaded by full path; "n,b" loads the file, as Windows would.
# Wine's loader names every library it loads in the program's output.
NATIVE_ATL_ENV = {"WINEDLLOVERRIDES": WINE_ENV["WINEDLLOVERRIDES"] + ";atl=n,b", "WINEDEBUG": "-all,+loaddll"}


def atl_files(folder):
    return sorted(n for n in os.listdir(folder) if n.upper().startswith("ATL"))


class WebPage(ScenarioGroup):
    def prepare(self, windows_version):
        """An install folder with one stale file, a service in maintenance, and the packed stub,
        which writes the carried atl98.dll into the current folder (the install folder once recorded)."""
        self.install = self.prefix.c("Quenzar")
        shutil.rmtree(self.install, ignore_errors=True)
        os.makedirs(self.install)
        for name in atl_files(self.download):
            os.remove(os.path.join(self.download, name))
        files = rb.story_files(count=6, seed=5)
        rb.publish(self.workdir, files, self.service.root)
        rb.write_client(self.install, {p: files[p] for p in sorted(set(files) - {rb.INSTALLER, rb.UNCHECKED})[1:]})
        self.service.set_rules([{"path": MAINTENANCE, "action": "body", "body": "MAINTENANCE"}])
        self.set_state(settings={"CWD": self.prefix.win(self.install)}, windows_version=windows_version)
        self.clear_log()
        shutil.copy2(Config.packed, self.stub)

    def page_requests(self, timeout=40):
        """The browser control's requests (the program's own say "IE") once the maintenance page is among them."""
        def pages():
            return [(r["method"], r["target"]) for r in self.service.requests()
                    if dict(r["headers"]).get("User-Agent") != "IE"]
        self.poll(lambda: ("GET", MAINTENANCE) in pages(), timeout, fail=False)
        return pages()

    def loaded_atl(self, program):
        """The ATL libraries the run loaded, by full path."""
        output = read(program.log)[program.log_start:].decode("latin-1").replace("\\\\", "\\").lower()
        return sorted(set(re.findall(r'loaded l"([^"]*\\atl(?:98)?\.dll)"', output)))

    def assert_control_fills(self, host, width, height):
        self.poll(lambda: any((c["x"], c["y"], c["w"], c["h"]) == (0, 0, width, height)
                              for c in self.driver.children(host["hwnd"])), 10,
                  "no window of the control fills %dx%d" % (width, height))

    def test_carried_library_on_98_and_nt4_the_systems_from_2000_on(self):
        # An ATL.DLL of the start folder's own stays; from 2000 on a loadable one is not what a load from the
        # system folder finds. Last, on 98 the install folder's own ATL.DLL: the carried library keeps its name.
        for version, own in (("win98", False), ("nt40", False), ("win2k", False), ("win98", True)):
            with self.subTest(version=version, own=own):
                self.prepare(version)
                foreign = os.path.join(self.install if own else self.download, "ATL.DLL")
                write(foreign, FOREIGN_ATL if version != "win2k" else read(Config.atl98))
                kept = read(foreign)
                program = self.start(env=NATIVE_ATL_ENV)
                window = self.main_window()
                self.assertEqual(self.page_requests(), PAGES)
                if version == "win2k":
                    self.assertEqual(atl_files(self.install), ["atl98.dll"], "nothing renamed")
                elif not own:
                    self.assertEqual(read(os.path.join(self.install, "ATL.DLL")), read(Config.atl98),
                                     "the carried library, renamed, written whole")
                    # The control fills the host window and follows its size.
                    host = [c for c in self.driver.children(window["hwnd"]) if c["class"] == "AtlAxWin"]
                    self.assertEqual([(c["x"], c["y"], c["w"], c["h"]) for c in host], [(2, 92, 416, 186)])
                    self.assert_control_fills(host[0], 416, 186)
                    self.driver.resize(host[0]["hwnd"], 300, 120)
                    self.assert_control_fills(host[0], 300, 120)
                self.cancel(program, window)
                loaded = self.loaded_atl(program)
                if version == "win2k":
                    self.assertRegex("".join(loaded), r"^c:\\windows\\sys(tem32|wow64)\\atl\.dll$")
                else:
                    name = "atl98.dll" if own else "atl.dll"
                    self.assertEqual(loaded, [self.prefix.win(os.path.join(self.install, name)).lower()])
                    self.assertEqual(atl_files(self.install), ["ATL.DLL"] if own else [], "the run's own is deleted")
                self.assertEqual(read(foreign), kept, "a file the run did not make is not deleted")

        # Before installation the library is placed beside the stub, not in the current folder.
        self.set_state(windows_version="win98")
        elsewhere = self.prefix.c("elsewhere")
        os.makedirs(elsewhere, exist_ok=True)
        program = self.start(cwd=elsewhere, env=NATIVE_ATL_ENV)
        window = self.main_window()
        self.assertEqual(atl_files(self.download), ["ATL.DLL"])
        self.cancel(program, window)
        self.assertEqual((atl_files(self.download), os.listdir(elsewhere)), ([], []), "deleted where placed")


if __name__ == "__main__":
    velorin_env.main()
