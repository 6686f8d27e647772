#!/usr/bin/env python3
"""An update into a full disk (a small tmpfs over the temporary folder, then the install folder): its box,
no half file, what was stored before whole, nothing after the big file asked for."""

import os
import subprocess

import release_builder as rb
from test_update import MAINTENANCE, SAVING_FAILED, UpdateGroup, served
from velorin_env import main

DISK = 256 * 1024
BIG = "art/large.bin"  # four times the disk, stored after art/fits.bin (files go in path order)
DOWNLOAD_FAILED = ("There was an error trying to download files.  Your connection to the internet might have "
                   "been lost.  Please try again later!")


class FullDisk(UpdateGroup):
    def test_full_temporary_folder_then_full_install_folder(self):
        self.publish(dict(rb.story_files(count=8, seed=5), **{"art/fits.bin": os.urandom(20_000),
                                                                BIG: os.urandom(4 * DISK)}))
        before = self.order[:self.order.index(BIG)]
        self.assertIn("art/fits.bin", before, "a file on the small disk is stored before the big one")
        temp = self.prefix.registry().values("Environment")["TEMP"]
        for folder, text in ((self.prefix.c(*temp[3:].split("\\")), DOWNLOAD_FAILED),
                             (os.path.join(self.install, "art"), SAVING_FAILED)):
            self.reset_install()
            os.makedirs(folder, exist_ok=True)
            subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % DISK, "tmpfs", folder], check=True)
            try:
                self.assert_ends_with_box(self.start(), "Download Error", text)
                self.assert_whole(before)
                self.assertEqual([p for p in self.order[len(before):] if self.installed(p) is not None], [],
                                 "no half file, nothing after it")
                # The big file came whole: the disk failed, not the connection; no status check.
                self.assertEqual([(r["path"], r["status"], r["sent"]) for r in self.file_requests()],
                                 [(served(p), 200, os.path.getsize(os.path.join(self.service.root,
                                                                                served(p).lstrip("/"))))
                                  for p in before + [BIG]])
                self.assertNotIn(MAINTENANCE, self.paths())
            finally:
                subprocess.run(["umount", "-l", folder], check=True)


if __name__ == "__main__":
    main()
