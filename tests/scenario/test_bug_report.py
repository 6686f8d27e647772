#!/usr/bin/env python3
"""Bug reports end to end: crash files left by the demo client (or by a program with the stub's crash
filter) are offered at the next start, sent, read back with velorin-report; then the lists and files."""

import contextlib
import os
import pathlib
import random
import shutil
import struct
import subprocess

import release_builder as rb
import velorin_env
from velorin_env import MAIN_CLASS, Config, ScenarioGroup, records, unreachable

# The report server answers on an address of its own, so that a case can make it alone unreachable.
REPORT_HOST = "bugs.quenzar.test"
REPORT_ADDRESS = "127.0.0.4"
velorin_env.own_addresses({REPORT_HOST: REPORT_ADDRESS})

IDCANCEL, IDYES, IDNO, IDC_BUG_COMMENT, IDC_BUG_SUBMIT = 2, 6, 7, 1002, 1003
# The window's pages and the maintenance check: asked for by every update.
PAGES = "/client/php/"
NOT_SENT = "The bug report could not be transmitted.  Do you wish to try and send it later?"

# Crash file, its section tag in the report, its reported-file list.
CRASH_FILES = (("quenzar.usg", "USG", "usgBugReports"),
               ("core.dbg", "DBG", "dbgBugReports"),
               ("quenzar.log", "LOG", "logBugReports"))


def crc_list(*datas):
    return b"".join(struct.pack("<I", rb.checksum(d)) for d in datas)


def contents_head(tag, size):
    return b"\r\n\r\n------------\r\n%s Contents (%d bytes)\r\n------------\r\n" % (tag.encode(), size)


class BugReportGroup(ScenarioGroup):
    """The current release installed, the demo client its primary executable."""

    def setUp(self):
        super().setUp()
        self.files = rb.story_files(count=6)
        self.files[rb.PRIMARY] = pathlib.Path(Config.demo_client).read_bytes()
        rb.publish(self.workdir, self.files, self.service.root, name="r7")
        # The report server takes reports: only a 2xx answer counts as sent.
        rb.write_client(os.path.join(self.service.root, REPORT_HOST), {"bug.php": b"OK\n"})
        self.install = self.prefix.c("Quenzar")
        shutil.rmtree(self.install, ignore_errors=True)
        rb.write_client(self.install, {p: d for p, d in self.files.items() if p not in (rb.INSTALLER, rb.UNCHECKED)})
        self.record = self.scratch("client-record.txt")
        self.service.set_rules([])
        self.set_state(settings={"CWD": self.prefix.win(self.install), "lastSRun": self.version_text()})
        self.clear_log()

    def write(self, name, data):
        rb.write_client(self.install, {name: data})

    def client_env(self, **extra):
        return dict(DEMO_CLIENT_RECORD=self.prefix.win(self.record), DEMO_CLIENT_MODE="end", **extra)

    def paths(self):
        """Paths asked for, in order, but the window's pages and maintenance check."""
        return [r["path"] for r in self.service.requests() if not r["path"].startswith(PAGES)]

    def posts(self):
        return [r for r in self.service.requests() if r["method"] == "POST"]

    def bug_dialog(self):
        """The bug report dialog's texts and controls; the main window hides."""
        dialog = self.dialog(title="Error", timeout=60)
        self.assertEqual(dialog["texts"], [
            "It appears the client has crashed.",
            "You can optionally submit a bug report with comments about what you were doing at the time:"])
        self.assertEqual(dialog["buttons"], ["Submit", "Cancel"])
        edits = [c for c in dialog["controls"] if c["id"] == IDC_BUG_COMMENT]
        self.assertEqual([e["class"].lower() for e in edits], ["richedit"])
        dialog["comment"] = edits[0]["hwnd"]
        windows = self.driver.windows(window_class=MAIN_CLASS)
        self.assertEqual([w["visible"] for w in windows], [0], "the main window hides for the question")
        return dialog

    def submit(self, dialog, comment):
        code, output = self.driver.run("type", hex(dialog["comment"]), comment)
        self.assertEqual(code, 0, output)
        self.driver.press(dialog["hwnd"], control_id=IDC_BUG_SUBMIT)

    def decode(self, body, *options):
        path = os.path.join(self.workdir, "body.txt")
        pathlib.Path(path).write_bytes(body.encode("latin-1"))
        result = subprocess.run([Config.report_tool, *options, path], capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        return result.stdout

    def one_report(self, comment, user_data, crash_files):
        """The one report received, as a form post; its text holds the comment section, the registry dump, then
        user.dat and the crash files byte for byte, the last ending it. Returns the post and the text."""
        posts = self.posts()
        self.assertEqual([(p["host"], p["path"]) for p in posts], [(REPORT_HOST, "/bug.php")])
        headers = {k.lower(): v for k, v in posts[0]["headers"]}
        self.assertEqual(headers.get("content-type"), "application/x-www-form-urlencoded")
        report = self.decode(posts[0]["body"])
        self.assertTrue(report.startswith(b"---------------------\r\nPROCESSOR INFORMATION\r\n"))
        if comment is None:
            self.assertNotIn(b"USER COMMENTS", report)
        else:
            self.assertIn(b"\r\n\r\n-------------\r\nUSER COMMENTS\r\n-------------\r\n" + comment.encode()
                          + b"\r\n\r\n------------------\r\nMEMORY INFORMATION\r\n", report)
        files = [("USER.DAT", user_data)] + [(tag, crash_files.get(name)) for name, tag, _ in CRASH_FILES]
        tail = b"".join(contents_head(tag, len(data)) + data for tag, data in files if data is not None)
        self.assertTrue(report.endswith(tail), "the files, in order, end the report")
        self.assertEqual(report.count(b" Contents ("), len([d for _, d in files if d is not None]))
        registry = report.find(b"-----------------\r\nREGISTRY CONTENTS\r\n-----------------\r\n")
        cwd = report.find(b"CWD Type: [REG_SZ] \"" + self.prefix.win(self.install).encode() + b"\"\r\n")
        self.assertTrue(0 < registry < cwd < len(report) - len(tail), "the registry dump, then the files")
        return posts[0], report

    def run_to_launch(self, program):
        """The run goes on to the client's launch, and ends."""
        starts = len(records(self.record))
        self.assertEqual(program.wait(90), 0)
        self.poll(lambda: len(records(self.record)) != starts, 20, interval=0.1, fail=False)
        self.assertEqual(len(records(self.record)), starts + 1, "the client was launched")


class ClientCrash(BugReportGroup):
    def test_client_crash_reported_then_update_then_listed_files_offered_only_when_changed(self):
        # The client crashes after its launch and leaves its crash files.
        left = {
            "quenzar.usg": b"usage: table 7, seat 3, hand 1182\r\n" * 20,
            "core.dbg": b"DUMP" + bytes(range(256)) * 8 + b"\0\0\0tail",
            "quenzar.log": b"client log \x01\x02 " + random.Random(10).randbytes(3000),
        }
        user_data = b"player=lucky7\0balance=\xff\xfe" + bytes(100)
        # A link in the install folder to a folder outside it (Wine shows a symbolic link as a reparse point): the
        # listing does not follow it.
        outside = self.prefix.c("outside-the-install")
        os.makedirs(outside, exist_ok=True)
        open(os.path.join(outside, "private-letter.txt"), "w").close()
        os.symlink(outside, os.path.join(self.install, "linked"))
        source = self.prefix.c("crash-source")
        rb.write_client(source, dict(left, **{"user.dat": user_data}))
        self.run_to_launch(self.start(env=self.client_env(DEMO_CLIENT_CRASH=self.prefix.win(source))))
        self.assertEqual(self.posts(), [])

        # A newer release with one changed file waits for the next start.
        newer = dict(self.files)
        newer["data/empty.cfg"] = b"changed in r8\r\n"
        rb.publish(self.workdir, newer, self.service.root, name="r8")
        self.clear_log()
        comment = "Crashed while joining table 7 (seat 3) & then 100% froze: sorry!"
        program = self.start(env=self.client_env())
        dialog = self.bug_dialog()
        self.assertEqual(self.paths(), ["/product.txt"],
                         "the manifest is fetched before the question")
        self.submit(dialog, comment)
        self.run_to_launch(program)

        _, report = self.one_report(comment, user_data, left)
        self.assertIn(b"\\bin\\QuenzarClient.exe\r\n", report, "the install folder is listed")
        self.assertFalse(b"private-letter" in report, "the listing left the install folder")
        # The report state fetches the manifest, and so does the update after it.
        self.assertEqual(self.paths(), ["/product.txt", "/bug.php", "/product.txt",
                                        rb.served_path("data/empty.cfg", name="r8")],
                         "the update follows the report")
        self.assertEqual(self.installed("data/empty.cfg"), newer["data/empty.cfg"])
        self.assertEqual([self.installed(name) for name, _, _ in CRASH_FILES], [None] * 3, "deleted once sent")
        self.assertEqual(self.installed("user.dat"), user_data, "the client's data file stays")
        debug = self.debug_values()
        self.assertEqual([debug.get(n) for _, _, n in CRASH_FILES], [crc_list(left[f]) for f, _, _ in CRASH_FILES])

        # The same dump again is listed: not offered, deleted, nothing sent.
        self.write("core.dbg", left["core.dbg"])
        self.clear_log()
        self.run_to_launch(self.start(env=self.client_env()))
        self.assertIsNone(self.installed("core.dbg"))
        self.assertEqual(self.posts(), [])

        # Changed, and ending in zero bytes (which end the report too; the operator gets them back by the section's
        # count): offered, sent with an empty comment section, and its checksum joins the list.
        second = b"dump of the second crash\x00\x00"
        self.write("core.dbg", second)
        program = self.start(env=self.client_env())
        self.submit(self.bug_dialog(), "")
        self.run_to_launch(program)
        self.one_report("", user_data, {"core.dbg": second})
        self.assertEqual(self.debug_values().get("dbgBugReports"), crc_list(left["core.dbg"], second))


class Answers(BugReportGroup):
    def test_cancel_sends_nothing_an_unreachable_server_asks_to_keep_the_files(self):
        crash = {"quenzar.usg": b"usage after a crash\r\n", "core.dbg": b"DBG\x00\x01\x02"}
        # Cancel: the files go, nothing is sent, the run goes on. The report server refuses, or answers with an error:
        # Yes keeps the files, and the rest of the run neither asks again nor sends; No deletes. The data file stays.
        for status, answer in ((0, IDCANCEL), (None, IDYES), (500, IDYES), (404, IDNO)):
            with self.subTest(status=status, answer=answer):
                rb.write_client(self.install, dict(crash, **{"user.dat": b"user data"}))
                self.clear_log()
                self.service.set_rules(
                    [{"path": "/bug.php", "action": "status", "status": status}] if status else [])
                with unreachable(REPORT_ADDRESS) if status is None else contextlib.nullcontext():
                    program = self.start(env=self.client_env())
                    dialog = self.bug_dialog()
                    if answer == IDCANCEL:
                        self.driver.press(dialog["hwnd"], control_id=IDCANCEL)
                    else:
                        self.submit(dialog, "no network" if answer == IDYES else "")
                        box = self.dialog(title="Error", text="transmitted", timeout=60)
                        self.assertEqual((box["texts"], sorted(box["buttons"])), ([NOT_SENT], ["No", "Yes"]))
                        self.driver.press(box["hwnd"], control_id=answer)
                    self.run_to_launch(program)
                self.assertEqual(self.paths(), ["/product.txt"] + (["/bug.php"] if status else []) +
                                 ["/product.txt"])
                for name, data in crash.items():
                    self.assertEqual(self.installed(name), data if answer == IDYES else None)
                self.assertEqual(self.installed("user.dat"), b"user data")
        self.assertFalse({n for _, _, n in CRASH_FILES} & set(self.debug_values()), "nothing sent, nothing recorded")


class NoDialog(BugReportGroup):
    def test_a_library_beside_the_stub_never_runs_and_without_a_dialog_the_report_still_goes(self):
        library = os.path.join(os.path.dirname(Config.demo_client), "planted_library.dll")
        mark = os.path.join(self.workdir, "loaded.txt")
        env = self.client_env(PLANTED_LIBRARY_MARK=self.prefix.win(mark))

        # A "Riched32.dll" in the download folder, beside the stub, is not loaded: the dialog's comment box comes from
        # the system's library. Wine is told to prefer a library file to its own, as Windows does.
        planted = os.path.join(self.download, "Riched32.dll")
        shutil.copy2(library, planted)
        self.addCleanup(os.remove, planted)
        self.write("quenzar.usg", b"usage one")
        overrides = velorin_env.WINE_ENV["WINEDLLOVERRIDES"] + ";riched32=n,b"
        program = self.start(env=dict(env, WINEDLLOVERRIDES=overrides))
        self.submit(self.bug_dialog(), "planted")
        self.run_to_launch(program)
        self.assertFalse(os.path.exists(mark), "the library in the download folder ran")
        self.one_report("planted", None, {"quenzar.usg": b"usage one"})

        # The system's rich-edit library loads but registers no class, so the dialog cannot be shown: the report goes
        # out without a comment rather than the crash files being dropped. A usage file too large for any report stays,
        # unrecorded, for a later one.
        target = self.prefix.system_folder("riched32.dll")
        os.rename(target, target + ".saved")
        self.addCleanup(os.replace, target + ".saved", target)
        shutil.copy2(library, target)
        self.write("core.dbg", b"dump two")
        large = random.Random(11).randbytes(200000)
        self.write("quenzar.usg", large)
        self.clear_log()
        overrides = velorin_env.WINE_ENV["WINEDLLOVERRIDES"] + ";riched32=n"
        self.run_to_launch(self.start(env=dict(env, WINEDLLOVERRIDES=overrides)))
        self.assertRegex(pathlib.Path(mark).read_text().strip().lower(),
                         r"^c:\\windows\\sys(tem32|wow64)\\riched32\.dll$")
        _, report = self.one_report(None, None, {"core.dbg": b"dump two"})
        self.assertIn(b"\r\n[USG file of 200000 bytes kept for a later report]\r\n", report)
        self.assertIsNone(self.installed("core.dbg"))
        self.assertTrue(self.installed("quenzar.usg") == large, "the large file stays as it was")
        debug = self.debug_values()
        self.assertEqual(debug.get("dbgBugReports"), crc_list(b"dump two"))
        self.assertEqual(debug.get("usgBugReports"), crc_list(b"usage one"), "the large file is not recorded")

        # A program with the stub's crash filter dies of an access violation on a worker thread; its log lands in the
        # install folder ("CWD").
        expected = os.path.join(self.workdir, "expected-log.txt")
        self.start("crash", "worker", "25", self.prefix.win(expected), exe=self.prefix.win(Config.crash_check),
                   cwd=self.workdir).wait(60)
        log_text = pathlib.Path(expected).read_bytes()
        self.assertIn(b"crash check line 25 of 25", log_text)
        # Its blocks and cipher are crash_check's own cases; here it is reported.
        cipher = self.installed("quenzar.log")
        self.assertIsNotNone(cipher, "quenzar.log in the install folder")

        # Without the rich-edit library there is no dialog: the report goes out at once, without a comment section.
        self.clear_log()
        overrides = velorin_env.WINE_ENV["WINEDLLOVERRIDES"] + ";riched32=d"
        self.run_to_launch(self.start(env=self.client_env(WINEDLLOVERRIDES=overrides)))
        post, report = self.one_report(None, None, {"quenzar.log": cipher})
        self.assertIsNone(self.installed("quenzar.log"))
        self.assertEqual(self.debug_values().get("logBugReports"), crc_list(cipher))

        # The operator reads the program's own log as text.
        readable = self.decode(post["body"], "--log")
        self.assertTrue(readable.startswith(report[:report.rfind(contents_head("LOG", len(cipher)))]))
        self.assertIn(log_text, readable)
        self.assertNotIn(cipher, readable)


if __name__ == "__main__":
    velorin_env.main()
