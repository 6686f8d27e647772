#!/usr/bin/env python3
"""An update that meets a full disk: a small tmpfs mounted (inside the case's
own mount namespace) over the prefix's temporary folder, or over the install
folder one client file is stored in, and a release whose big file does not
fit in it. Every write is checked: the run ends with its box, nothing half
written is kept, what was stored before stays whole.
"""

import os
import subprocess

import release_builder as rb
from test_update import MAINTENANCE, UpdateGroup
from velorin_env import main

DISK = 256 * 1024  # the full disk; the big file is four times that
BIG = "art/large.bin"  # stored after art/fits.bin (files go in path order)
DOWNLOAD_FAILED = ("There was an error trying to download files.  Your connection to the internet might have "
                   "been lost.  Please try again later!")
SAVING_FAILED = ("There was a problem saving files to your computer.  You may not have permissions or enough "
                 "space available to save files!")


def client_files():
    files = rb.story_files(count=8, seed=5)
    files["art/fits.bin"] = os.urandom(20_000)
    files[BIG] = os.urandom(4 * DISK)
    return files


class FullDisk(UpdateGroup):
    def mount_small_disk(self, folder):
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % DISK, "tmpfs", folder], check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", folder])

    def run_into_full_disk(self, folder, caption, text):
        """Publishes the client, fills FOLDER's disk with its big file, and checks
        what the run leaves: the box, exit 0, files stored before it whole, the
        big file and everything after it never stored, no temporary file."""
        lines = self.publish(client_files())
        order = [l[1].decode().replace("\\", "/").lstrip("./") for l in lines]
        order = [p for p in order if p in self.expected_paths()]
        before = order[:order.index(BIG)]
        self.assertIn("art/fits.bin", before, "a file on the small disk is stored before the big one")
        self.mount_small_disk(folder)

        program = self.start()
        self.assert_ends_with_box(program, caption, text)
        self.assert_whole(before)
        for path in order[len(before):]:
            self.assertFalse(os.path.exists(os.path.join(self.install, *path.split("/"))), "%s is not stored" % path)
        self.assertEqual(self.temp_files(), [])
        # The big file came whole over the network: the disk, not the
        # connection, failed; nothing after it was asked for, no status check.
        requests = self.service.requests()
        served = [rb.served_path(p, compressed=rb.is_compressed(p)) for p in before + [BIG]]
        self.assertEqual([(r["path"], r["status"], r["sent"]) for r in self.file_requests()],
                         [(s, 200, os.path.getsize(os.path.join(self.service.root, s.lstrip("/")))) for s in served])
        self.assertNotIn(MAINTENANCE, [r["path"] for r in requests])

    def test_temporary_folder_full_ends_with_download_error(self):
        temp = self.prefix.registry().get("Environment", "TEMP")
        self.assertRegex(temp, r"^C:\\")
        self.run_into_full_disk(self.prefix.c(*temp[3:].split("\\")), "Download Error", DOWNLOAD_FAILED)

    def test_install_folder_full_removes_the_half_file(self):
        art = os.path.join(self.install, "art")
        self.run_into_full_disk(art, "Download Error", SAVING_FAILED)
        self.assertNotIn("large.bin", os.listdir(art), "no half file on the full disk")


if __name__ == "__main__":
    main()
