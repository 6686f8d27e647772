"""Client releases for the update scenarios, published with velorin-release.

A generated client: files of seeded random bytes in nested folders, with a
primary executable, an installer, a file with checksum 0 (unchecked), some
compressed data files and an empty file. The release folder is laid out in the
service's document root under /client/rN, and its product.txt is served as
"/product.txt" by every update server.
"""

import os
import random
import shutil
import subprocess
import zlib

from velorin_env import Config

BASE_HOST = "download.quenzar.test"

PRIMARY = "bin/QuenzarClient.exe"
INSTALLER = "setup/install.exe"
UNCHECKED = "docs/notes.txt"
COMPRESSED = "data/*.dat"


def checksum(data):
    """The program's file checksum: zlib's crc32 started from 0xFFFFFFFF."""
    return zlib.crc32(data, 0xFFFFFFFF)


def story_files(count=34, seed=7):
    """Relative path -> bytes of a client of at least 30 files in nested folders."""
    rng = random.Random(seed)
    files = {
        PRIMARY: b"MZ" + rng.randbytes(70000),
        INSTALLER: b"MZ" + rng.randbytes(30000),
        UNCHECKED: b"release notes\r\n" * 40,
        "data/empty.cfg": b"",
    }
    folders = ["bin", "data", "data/tables", "art/cards", "art/tables/felt", "sounds", "lang/en"]
    n = 0
    while len(files) < count:
        folder = folders[n % len(folders)]
        if folder == "data":
            # Compressible: text-like rows, served as zlib streams.
            body = b"".join(b"row %d value %d\n" % (i, rng.randrange(1000)) for i in range(rng.randrange(200, 4000)))
            files["data/set%02d.dat" % n] = body
        else:
            files["%s/file%02d.bin" % (folder, n)] = rng.randbytes(rng.randrange(1, 60000))
        n += 1
    return files


def write_client(folder, files):
    for path, data in files.items():
        full = os.path.join(folder, *path.split("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)


def publish(workdir, files, www, name="r7", host=BASE_HOST, extra_args=()):
    """Publishes files as a release under www/client/NAME and www/product.txt.
    Returns the manifest lines split into fields."""
    client = os.path.join(workdir, "client-" + name)
    release = os.path.join(workdir, "release-" + name)
    shutil.rmtree(client, ignore_errors=True)
    shutil.rmtree(release, ignore_errors=True)
    write_client(client, files)
    args = ["--primary", PRIMARY]
    if any(is_compressed(path) for path in files):
        args += ["--compress", COMPRESSED]
    if INSTALLER in files:
        args += ["--installer", INSTALLER]
    if UNCHECKED in files:
        args += ["--unchecked", UNCHECKED]
    subprocess.run([Config.release_tool, *args, *extra_args, client, "http://%s/client/%s" % (host, name), release],
                   check=True)
    served = os.path.join(www, "client", name)
    shutil.rmtree(served, ignore_errors=True)
    shutil.copytree(release, served)
    shutil.copy2(os.path.join(release, "product.txt"), os.path.join(www, "product.txt"))
    with open(os.path.join(release, "product.txt"), "rb") as f:
        return [line.rstrip(b"\r\n").split(b"|") for line in f if line.strip()]


def served_path(path, name="r7", compressed=False):
    """The URL path a client file is fetched from."""
    return "/client/%s/%s%s" % (name, path, ".z" if compressed else "")


def is_compressed(path):
    return path.startswith("data/") and path.endswith(".dat")
