#!/usr/bin/env python3
"""A second start while a stub is already running."""

import os

import velorin_env
from velorin_env import MAIN_CLASS, ScenarioGroup, unreachable

UPDATE_SERVERS_ADDRESS = "127.0.0.2"  # made unreachable: an installed stub stays waiting for the manifest
velorin_env.own_addresses({"update": UPDATE_SERVERS_ADDRESS})


class SecondStart(ScenarioGroup):
    def test_a_stub_without_install_is_ended_an_installed_one_brought_forward(self):
        # Not installed: the first is ended by the second start (exit code 0), which goes on.
        self.set_state()
        first = self.start()
        window = self.main_window()
        second = self.start()
        self.assertEqual(first.wait(), 0)
        self.assertTrue(self.driver.gone(window["hwnd"], timeout=5))
        self.cancel(second, self.main_window(exclude=[window["hwnd"]]))

        # Installed: the first stays and is brought forward; the second ends.
        install = self.prefix.c("Quenzar")
        os.makedirs(install, exist_ok=True)
        self.set_state(settings={"CWD": self.prefix.win(install)})
        with unreachable(UPDATE_SERVERS_ADDRESS):
            first = self.start()
            window = self.main_window()
            self.assertNotEqual((self.driver.foreground() or {}).get("hwnd"), window["hwnd"])
            self.assertEqual(self.start().wait(), 0)
            self.assertTrue(first.running())
            self.assertEqual([w["hwnd"] for w in self.driver.windows(window_class=MAIN_CLASS)], [window["hwnd"]])
            self.assertEqual((self.driver.foreground() or {}).get("hwnd"), window["hwnd"], "brought forward")
            self.cancel(first, window)


if __name__ == "__main__":
    velorin_env.main()
