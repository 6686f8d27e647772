"""Generated client releases, published with velorin-release under the service's /client/rN,
their product.txt served as "/product.txt" by every update server; packed stubs via velorin-pack."""

import hashlib
import os
import random
import shutil
import subprocess
import zlib

from velorin_env import Config, read, write

BASE_HOST = "download.quenzar.test"

PRIMARY, INSTALLER, UNCHECKED, COMPRESSED = "bin/QuenzarClient.exe", "setup/install.exe", "docs/notes.txt", "data/*.dat"


def checksum(data):
    """The program's file checksum: zlib's crc32 started from 0xFFFFFFFF."""
    return zlib.crc32(data, 0xFFFFFFFF)


def story_files(count=34, seed=7):
    """Relative path -> seeded bytes: primary, installer, unchecked, empty and compressible files."""
    rng = random.Random(seed)
    files = {
        PRIMARY: b"MZ" + rng.randbytes(70000),
        INSTALLER: b"MZ" + rng.randbytes(30000),
        UNCHECKED: b"release notes\r\n" * 40,
        "data/empty.cfg": b"",
    }
    folders = ["bin", "data", "data/tables", "art/cards", "art/tables/felt", "sounds", "lang/en"]
    for n in range(count - len(files)):  # one new file a turn
        folder = folders[n % len(folders)]
        if folder == "data":
            body = b"".join(b"row %d value %d\n" % (i, rng.randrange(1000)) for i in range(rng.randrange(200, 4000)))
            files["data/set%02d.dat" % n] = body
        else:
            files["%s/file%02d.bin" % (folder, n)] = rng.randbytes(rng.randrange(1, 60000))
    return files


def write_client(folder, files):
    for path, data in files.items():
        full = os.path.join(folder, *path.split("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        write(full, data)


def publish(workdir, files, www, name="r7", extra_args=()):
    """Publishes files as release NAME in www; the manifest lines split into fields."""
    client, release = os.path.join(workdir, "client-" + name), os.path.join(workdir, "release-" + name)
    for folder in (client, release):
        shutil.rmtree(folder, ignore_errors=True)
    write_client(client, files)
    args = ["--primary", PRIMARY] + (["--compress", COMPRESSED] if any(map(is_compressed, files)) else [])
    for option, path in (("--installer", INSTALLER), ("--unchecked", UNCHECKED)):
        args += [option, path] if path in files else []
    subprocess.run([Config.release_tool, *args, *extra_args, client, "http://%s/client/%s" % (BASE_HOST, name), release],
                   check=True)
    served = os.path.join(www, "client", name)
    shutil.rmtree(served, ignore_errors=True)
    shutil.copytree(release, served)
    shutil.copy2(os.path.join(release, "product.txt"), os.path.join(www, "product.txt"))
    return [line.split(b"|") for line in read(os.path.join(release, "product.txt")).splitlines() if line.strip()]


STUB = "quenzar.exe"
# Affiliates as the service hands them out: 32 hex digits and 20 decimal digits.
AFFILIATE = "7c0e5b41d9a2f3e86b1c4d5a09e8f7b2" + "20261207000000000042"
OTHER_AFFILIATE = "a1b2c3d4e5f60718293a4b5c6d7e8f90" + "20261207000000000043"
TRACKING_KEY = "5be0a9d27c41f6e38d02b7c95a4e1f60"


def pack_list(stub):
    """The carried files velorin-pack --list reads from a packed stub: [(name, position, size)]."""
    output = subprocess.run([Config.pack_tool, "--list", stub], check=True, stdout=subprocess.PIPE, text=True).stdout
    fields = [line.split("\t") for line in output.splitlines()]
    return [(f[1], int(f[2]), int(f[3])) for f in fields if f[0] == "file"]


def packed_stub(workdir, affiliate):
    """The build's quenzar.exe relabelled for affiliate: its bytes and {name: carried bytes}."""
    if not (Config.packed and os.path.isfile(Config.packed) and pack_list(Config.packed)):
        raise RuntimeError("--packed must name the windows tree's quenzar.exe with its carried files")
    out = os.path.join(workdir, "quenzar-%s.exe" % affiliate[:8])
    subprocess.run([Config.pack_tool, "--affiliate", affiliate, Config.packed, out], check=True,
                   stdout=subprocess.DEVNULL)
    return read(out), carried_files(out)


def carried_files(stub):
    data = read(stub)
    return {name: data[position - 1:position - 1 + size] for name, position, size in pack_list(stub)}


def pack_like_release(exe, workdir, name):
    """exe packed with the build's quenzar.exe's carried files (the build carries no affiliate)."""
    out, command = os.path.join(workdir, name), [Config.pack_tool]
    for carried, data in carried_files(Config.packed).items():
        write(os.path.join(workdir, "carried-" + carried), data)
        command += ["--carry", "%s=%s" % (carried, os.path.join(workdir, "carried-" + carried))]
    subprocess.run(command + [exe, out], check=True, stdout=subprocess.DEVNULL)
    return out


def tracking_signature_ok(auth):
    """An install-tracking signature: MD5 hex of "r|key" followed by r (0..32767, no leading zeros)."""
    digest, number = auth[:32], auth[32:]
    if not number.isdigit() or len(number) > 5 or int(number) > 32767 or str(int(number)) != number:
        return False
    return hashlib.md5(("%s|%s" % (number, TRACKING_KEY)).encode()).hexdigest() == digest


def served_path(path, name="r7"):
    return "/client/%s/%s%s" % (name, path, ".z" if is_compressed(path) else "")


def is_compressed(path):
    return path.startswith("data/") and path.endswith(".dat")
