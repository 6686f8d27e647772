#!/usr/bin/env python3
"""Start-up of the stub: working folder, version record, files left for deletion."""

import os

import velorin_env
from velorin_env import DEBUG_KEY, ScenarioGroup

REPORT_LISTS = {
    "usgBugReports": bytes.fromhex("2f679a35"),
    "dbgBugReports": bytes.fromhex("0102030405060708"),
    "logBugReports": bytes.fromhex("ffffffff"),
}


class FirstStart(ScenarioGroup):
    def test_works_from_its_own_folder_and_records_its_version(self):
        configured = velorin_env.Config.version
        if configured:
            self.assertEqual(self.version, tuple(int(n) for n in configured.split(".")),
                             "version resource differs from the configured version")

        # Started from another folder, a relative name left for deletion is
        # resolved in the executable's folder, and only there.
        elsewhere = os.path.join(self.workdir, "elsewhere")
        os.makedirs(elsewhere)
        for folder in (self.download, elsewhere):
            with open(os.path.join(folder, "leftover.tmp"), "w") as f:
                f.write("stale")
        # Libraries in the start folder that this run did not put there stay.
        for name in ("ATL.DLL", "ATL98.DLL"):
            with open(os.path.join(elsewhere, name), "w") as f:
                f.write("not a library")
        self.set_state(settings={"requestDelete": "leftover.tmp"})

        self.start_and_cancel(cwd=elsewhere)

        self.assertFalse(os.path.exists(os.path.join(self.download, "leftover.tmp")))
        self.assertTrue(os.path.exists(os.path.join(elsewhere, "leftover.tmp")))
        self.assertEqual(sorted(os.listdir(elsewhere)), ["ATL.DLL", "ATL98.DLL", "leftover.tmp"])
        settings = self.settings()
        self.assertEqual(settings, {"lastSRun": self.version_text()})


class VersionRecord(ScenarioGroup):
    """The reported-crash lists start afresh when the stub's version changes."""

    def run_with_stored_version(self, stored):
        settings = {} if stored is None else {"lastSRun": stored}
        debug = dict(REPORT_LISTS, keepMe="1")
        self.set_state(settings=settings, debug=debug)
        self.start_and_cancel()
        self.assertEqual(self.settings().get("lastSRun"), self.version_text())
        values = self.debug_values()
        self.assertEqual(values.get("keepMe"), "1", "other values of the Debug key stay")
        return values

    def test_a_changed_version_clears_the_report_lists(self):
        major, minor, build, revision = self.version
        for stored in ("%d %d %d %d" % (major, minor, build, revision + 1),
                       "%d %d %d %d" % (major + 1, minor, build, revision),
                       "0 0 0 0"):
            with self.subTest(stored=stored):
                values = self.run_with_stored_version(stored)
                for name in REPORT_LISTS:
                    self.assertNotIn(name, values)

    def test_an_equal_or_unknown_version_keeps_the_report_lists(self):
        major, minor, build, revision = self.version
        for stored in (self.version_text(), "%d %d %d" % (major, minor, build),
                       "%d %d %d -1" % (major + 1, minor, build), None):
            with self.subTest(stored=stored):
                values = self.run_with_stored_version(stored)
                for name, data in REPORT_LISTS.items():
                    self.assertEqual(values.get(name), data)


class RequestedDeletion(ScenarioGroup):
    """A file named in "requestDelete" is deleted at the next start."""

    def test_missing_file_or_folder_drops_the_request(self):
        # The file alone is gone, or its whole folder is (the deletion then
        # fails with "path not found" rather than "file not found").
        for missing in (r"C:\download\gone.tmp", r"C:\gone-folder\gone.tmp"):
            with self.subTest(missing=missing):
                self.set_state(settings={"requestDelete": missing})
                self.start_and_cancel()
                self.assertNotIn("requestDelete", self.settings())

    def test_deletable_file_is_deleted(self):
        stale = os.path.join(self.download, "old-stub.exe")
        with open(stale, "wb") as f:
            f.write(b"MZ old stub")
        self.set_state(settings={"requestDelete": self.prefix.win(stale)})
        self.start_and_cancel()
        self.assertFalse(os.path.exists(stale))
        self.assertNotIn("requestDelete", self.settings())

    def test_file_held_open_is_kept_and_tried_again(self):
        busy = os.path.join(self.download, "busy-stub.exe")
        with open(busy, "wb") as f:
            f.write(b"MZ still running")
        self.set_state(settings={"requestDelete": self.prefix.win(busy)})
        with self.driver.hold(self.prefix.win(busy)):
            self.start_and_cancel()
        self.assertTrue(os.path.exists(busy))
        self.assertEqual(self.settings().get("requestDelete"), self.prefix.win(busy))

        # Once the file is free the next start deletes it.
        self.start_and_cancel()
        self.assertFalse(os.path.exists(busy))
        self.assertNotIn("requestDelete", self.settings())


if __name__ == "__main__":
    velorin_env.main()
