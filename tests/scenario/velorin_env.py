"""The scenario environment: velorin.exe under Wine against the service on one machine, in a private network and
mount namespace (see README.md)."""

import argparse
import contextlib
import json
import os
import pathlib
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import wine_reg

HERE = os.path.dirname(os.path.abspath(__file__))

# Every host a build with the default VELORIN_HOST_* names may contact; "name=127.0.0.2"
# maps a name to another loopback address. VELORIN_SERVICE_HOSTS overrides.
DEFAULT_SERVICE_HOSTS = ["update1.quenzar.test", "update2.quenzar.test", "download.quenzar.test",
                         "api.quenzar.test", "bugs.quenzar.test", "www.quenzar.test",
                         "game1.games.quenzar.test", "game2.games.quenzar.test"]

SETTINGS_KEY = r"Software\Tavelin\QuenzarClient"
DEBUG_KEY = r"Software\Tavelin\QuenzarClient.Debug"
WINE_KEY = r"Software\Wine"

MAIN_CLASS, MAIN_TITLE, MAIN_MARKER, DIALOG_CLASS = "InstallerWindow", "Quenzar", 0x39A87FE2, "#32770"
WM_CLOSE, WM_COMMAND, WM_SYSKEYDOWN = 0x0010, 0x0111, 0x0104
IDC_CANCEL = 200
ALT_KEY_LPARAM = 0x20000001  # repeat count 1, bit 29: Alt held

# No menu builder: the install's shell links must not become Linux desktop entries.
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}
# VELORIN_WINE_HEAP_CHECK=1: Wine checks the whole heap on every call (global flags 0xF0)
# and prints what it finds on its heap channel; a case fails on such a report.
HEAP_REPORT = re.compile(r"^[0-9a-f]+:(?:err|warn):heap:.*$", re.M)

# The Flash control's class in the 32-bit and the native registry view.
FLASH_CLASS_KEYS = [r"Software\Classes\%sCLSID\{D27CDB6E-AE6D-11CF-96B8-444553540000}" % view
                    for view in ("Wow6432Node\\", "")]
FLASH_CONTROL = r"C:\standins\flash_control.dll"


def own_addresses(addresses):
    """Hosts whose names start with a key answer on that loopback address of their own, so that a case
    can make them alone unreachable (unless VELORIN_SERVICE_HOSTS names the hosts)."""
    if not os.environ.get("VELORIN_SERVICE_HOSTS"):
        Config.host_entries = [next((n + "=" + a for p, a in addresses.items() if n.startswith(p)), n)
                               for n in DEFAULT_SERVICE_HOSTS]


def wine():
    return os.environ.get("VELORIN_WINE") or "wine"


def wineserver():
    return os.environ.get("VELORIN_WINESERVER") or "wineserver"


def pe_machine(path):
    """The machine field of a PE file's header (0x14C i386, 0x8664 x86_64)."""
    data = read(path)
    return struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0]


def file_version(path):
    data = read(path)
    start = data.find("VS_VERSION_INFO".encode("utf-16-le"))
    signature = data.find(struct.pack("<I", 0xFEEF04BD), start)
    if start < 0 or signature < 0:
        raise ValueError("%s has no version resource" % path)
    ms, ls = struct.unpack_from("<II", data, signature + 8)
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


# Paths given as --name-with-dashes, set on Config by environment(); velorin and driver are required.
_PATH_OPTIONS = ("velorin", "driver", "terms_dump", "one_window", "measurements", "release_tool",
                 "demo_client", "launch_probe", "crash_check", "report_tool", "atl98",
                 "velorin_next", "pack_tool", "packed", "standins")


class Config:
    source = os.path.dirname(os.path.dirname(HERE))
    version = None  # as configured, "1.0.0.7"
    template = os.environ.get("VELORIN_WINE_TEMPLATE")
    keep = bool(os.environ.get("VELORIN_KEEP_SCENARIO"))
    host_entries = os.environ.get("VELORIN_SERVICE_HOSTS", "").split() or DEFAULT_SERVICE_HOSTS
    hosts = [entry.split("=")[0] for entry in host_entries]
    dns_options = []  # further dnsmasq options, e.g. "--server=/domain/127.0.0.1#5353"
    workdir = None
    heap_check = bool(os.environ.get("VELORIN_WINE_HEAP_CHECK"))


def read(path):
    return pathlib.Path(path).read_bytes()


def write(path, data):
    pathlib.Path(path).write_bytes(data)


def write_figure(name, text):
    """A figure beside its reference, printed and left in measurements/ for the test run to print."""
    print("\n" + text, flush=True)
    if Config.measurements:
        os.makedirs(Config.measurements, exist_ok=True)
        pathlib.Path(Config.measurements, name).write_text(text)


def records(path):
    """A stand-in's records, one a line of tab-separated key=value fields; [] before the first."""
    lines = read(path).decode("utf-8", "replace").splitlines() if os.path.exists(path) else []
    return [dict(field.split("=", 1) for field in line.split("\t")) for line in lines if line]


def run(command, **kwargs):
    return subprocess.run(command, check=True, **kwargs)


def _wait_until_ready(ready, process, what, seconds=10):
    deadline = time.monotonic() + seconds
    while not ready():
        if process.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError("%s did not come up" % what)
        time.sleep(0.05)


def _die_with_parent():
    """Helpers end with the scenario process, even when ctest kills it at a time-out."""
    import ctypes

    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def _start_network(workdir):
    run(["ip", "link", "set", "lo", "up"])
    addresses = [(e.split("=") + ["127.0.0.1"])[:2] for e in Config.host_entries]
    hosts_file, resolv = os.path.join(workdir, "hosts"), os.path.join(workdir, "resolv.conf")
    write(hosts_file, ("127.0.0.1 localhost\n::1 localhost\n" + "".join("%s %s\n" % (a, n) for n, a in addresses)).encode())
    write(resolv, b"nameserver 127.0.0.1\n")
    run(["mount", "--bind", hosts_file, "/etc/hosts"])
    run(["mount", "--bind", resolv, "/etc/resolv.conf"])
    dnsmasq = subprocess.Popen(
        ["dnsmasq", "--keep-in-foreground", "--conf-file=/dev/null", "--no-resolv", "--no-hosts",
         "--addn-hosts=" + hosts_file, "--listen-address=127.0.0.1", "--bind-interfaces", "--port=53",
         "--user=root", "--pid-file=" + os.path.join(workdir, "dnsmasq.pid"),
         "--log-facility=" + os.path.join(workdir, "dnsmasq.log")] + Config.dns_options,
        stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
    _wait_until_ready(lambda: dns_query(addresses[0][0]) == addresses[0][1], dnsmasq, "dnsmasq")
    return dnsmasq


@contextlib.contextmanager
def unreachable(address):
    """Connections to address are refused at once in the block: a prohibit rule before the local table."""
    def ip(*args):
        run(["ip", "rule", *args])
    ip("add", "to", address + "/32", "prohibit", "pref", "10")
    ip("del", "pref", "0")
    ip("add", "lookup", "local", "pref", "100")
    try:
        yield
    finally:
        ip("del", "pref", "10")
        ip("add", "lookup", "local", "pref", "0")
        ip("del", "pref", "100")


def dns_name(text):
    return b"".join(bytes([len(p)]) + p.encode() for p in text.split(".")) + b"\0"


def dns_query(name, server="127.0.0.1"):
    """The first A record for name from the DNS server, or None."""
    packet = struct.pack(">HHHHHH", 0x5A17, 0x0100, 1, 0, 0, 0) + dns_name(name) + struct.pack(">HH", 1, 1)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(0.5)
        try:
            s.sendto(packet, (server, 53))
            answer = s.recv(512)
        except OSError:
            return None
    _, flags, _, count, _, _ = struct.unpack_from(">HHHHHH", answer)
    return None if flags & 0xF or count == 0 else socket.inet_ntoa(answer[-4:])


def _wait(process, timeout, what):
    """The exit code; a process still running after timeout is killed and fails the test, named by what."""
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        raise AssertionError("%s still running after %ss" % (what, timeout))


def _end(process):
    if process and process.poll() is None:
        process.terminate()
        process.wait(10)


class Service:
    def __init__(self, workdir):
        self.root = os.path.join(workdir, "www")
        self.log = os.path.join(workdir, "requests.jsonl")
        self.rules_file = os.path.join(workdir, "rules.json")
        os.makedirs(self.root, exist_ok=True)
        self.process = None

    def start(self):
        with open(self.log + ".stderr", "w") as errors:
            self.process = subprocess.Popen(
                [sys.executable, os.path.join(HERE, "service.py"), self.root, self.log, self.rules_file],
                stdout=subprocess.DEVNULL, stderr=errors, preexec_fn=_die_with_parent)
        def listening():
            with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", 80), 0.2):
                return True
        _wait_until_ready(listening, self.process, "test service")

    def stop(self):
        _end(self.process)

    def set_rules(self, rules):
        pathlib.Path(self.rules_file).write_text(json.dumps({"rules": rules}))

    def requests(self):
        text = read(self.log).decode() if os.path.exists(self.log) else ""
        return [json.loads(line) for line in text.splitlines() if line.strip()]


class Prefix:
    """A Wine prefix of one scenario group: an overlay over the booted template."""

    def __init__(self, workdir):
        self.base = os.path.join(workdir, "prefix")
        self.path = os.path.join(self.base, "merged")
        for name in ("upper", "work", "merged"):
            os.makedirs(os.path.join(self.base, name))
        run(["mount", "-t", "overlay", "overlay", "-o", "lowerdir=%s,upperdir=%s/upper,workdir=%s/work"
             % (Config.template, self.base, self.base), self.path])
        self.env = dict(os.environ, WINEPREFIX=self.path, **WINE_ENV)
        if Config.heap_check:
            self.env["WINEDEBUG"] = "-all,err+heap,warn+heap"
            self.reg("add", r"HKLM\System\CurrentControlSet\Control\Session Manager", "/v", "GlobalFlag", "/t",
                     "REG_DWORD", "/d", "0xF0", "/f")
        if Config.standins:  # a player's machine has Flash 9, its control registered in both views
            os.makedirs(self.c("standins"), exist_ok=True)
            shutil.copy2(os.path.join(Config.standins, "flash_control.dll"), self.c("standins"))
            self.stop()
            registry = wine_reg.RegistryFile(os.path.join(self.path, "system.reg"))
            for classes in FLASH_CLASS_KEYS:
                registry.set_string(classes, "StandInAnswer", "9")
                registry.set_string(classes + r"\InprocServer32", "", FLASH_CONTROL)
                registry.set_string(classes + r"\InprocServer32", "ThreadingModel", "Apartment")
            registry.save()

    def reg(self, *args, check=True):
        """"wine reg", which leaves the prefix's programs running (editing user.reg ends them)."""
        return subprocess.run([wine(), "reg", *args], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=60, check=check)

    def c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def system_folder(self, *parts):
        """The system folder the program under test sees: syswow64 for i686, system32 for x86_64."""
        return self.c("windows", "system32" if pe_machine(Config.velorin) == 0x8664 else "syswow64", *parts)

    def win(self, path):
        """Windows path of a Linux path: C: inside the prefix, Z: elsewhere."""
        drive_c = self.c()
        if path == drive_c or path.startswith(drive_c + "/"):
            return "C:" + (path[len(drive_c):] or "/").replace("/", "\\")
        return "Z:" + path.replace("/", "\\")

    def stop(self):
        """Ends every process of the prefix; the wineserver saves the registry on the way out."""
        subprocess.run([wineserver(), "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run([wineserver(), "-w"], env=self.env, timeout=30)

    def registry(self):
        self.stop()
        return wine_reg.RegistryFile(os.path.join(self.path, "user.reg"))

    @contextlib.contextmanager
    def edit_registry(self):
        registry = self.registry()
        yield registry
        registry.save()

    def remove(self):
        self.stop()
        subprocess.run(["umount", self.path])
        if not Config.keep:
            shutil.rmtree(self.base, ignore_errors=True)


class Program:
    def __init__(self, prefix, win_path, args=(), cwd=None, log=None, env=None):
        self.name = win_path
        self.log, self.log_start = log, os.path.getsize(log) if log and os.path.exists(log) else 0
        with open(log or os.devnull, "ab") as output:
            self.process = subprocess.Popen([wine(), win_path, *args], cwd=cwd, env=dict(prefix.env, **(env or {})),
                                            stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)

    def running(self):
        return self.process.poll() is None

    def kill(self):
        if self.running():
            self.process.kill()
        self.process.wait()

    def wait(self, timeout=20):
        return _wait(self.process, timeout, self.name)


_NUMBER_FIELDS = {"hwnd", "pid", "tid", "id", "userdata", "owner", "visible", "build",
                  "x", "y", "w", "h", "length", "hit", "width", "height", "done", "depth", "shown",
                  "ms", "range", "pos"}
_UNESCAPE = {"t": "\t", "n": "\n", "r": "\r"}


def _field(text):
    key, _, value = text.partition("=")
    value = re.sub(r"\\(.)", lambda m: _UNESCAPE.get(m.group(1), m.group(1)), value)
    return key, int(value, 0) if key in _NUMBER_FIELDS else value


def parse_records(output):
    """ui_driver lines of tab-separated key=value fields as dicts (numbers as int)."""
    return [dict(map(_field, line.split("\t"))) for line in output.replace("\r\n", "\n").split("\n") if "=" in line]


class Driver:
    def __init__(self, prefix):
        self.prefix = prefix
        self.exe = prefix.win(Config.driver)

    class Watch:
        """A driver command beside the program; finish() gives its output (and code) once it has ended."""

        def __init__(self, driver, args, settle=2):
            self.what = "ui_driver " + " ".join(map(str, args))
            self.output = tempfile.TemporaryFile()  # not a pipe: Wine's helper processes would hold it open
            self.process = subprocess.Popen([wine(), driver.exe, *map(str, args)], env=driver.prefix.env,
                                            stdin=subprocess.DEVNULL, stdout=self.output, stderr=subprocess.DEVNULL)
            time.sleep(settle)  # the watch is up before what it watches happens

        def finish(self, timeout=60):
            with self.output:
                self.code = _wait(self.process, timeout, self.what)
                self.output.seek(0)
                return self.output.read().decode("utf-8", "replace")

    def run(self, *args, timeout=60):
        command = Driver.Watch(self, args, settle=0)
        output = command.finish(timeout)
        return command.code, output

    def watch(self, command, *args, timeout_ms=30000, **filters):
        """Starts "watchstyle ID" or "watchprogress" on the first window matching filters."""
        return Driver.Watch(self, [command, *args, *self._filters(**filters), "--timeout", timeout_ms])

    @staticmethod
    def _filters(window_class=None, title=None, text=None, exclude=(), visible=False):
        options = [("--class", window_class), ("--title", title), ("--text", text)]
        options += [("--exclude", hex(hwnd)) for hwnd in exclude]
        return [part for option in options if option[1] for part in option] + (["--visible"] if visible else [])

    def windows(self, **filters):
        return parse_records(self.run("windows", *self._filters(**filters))[1])

    def wait(self, timeout=20, **filters):
        """Top-level windows that match, once at least one does; [] on time-out."""
        code, output = self.run("wait", *self._filters(**filters), "--timeout", int(timeout * 1000),
                                timeout=timeout + 30)
        return parse_records(output) if code == 0 else []

    def gone(self, hwnd, timeout=20):
        return self.run("gone", hex(hwnd), "--timeout", int(timeout * 1000), timeout=timeout + 30)[0] == 0

    def children(self, hwnd):
        return parse_records(self.run("children", hex(hwnd))[1])

    def _must(self, what, *args):
        code, output = self.run(*args)
        if code != 0:
            raise AssertionError("could not %s: %s" % (what, output))

    def press(self, hwnd, text=None, control_id=None):
        option = ["--id", control_id] if control_id is not None else ["--text", text]
        self._must("press %r in window 0x%x" % (text or control_id, hwnd), "press", hex(hwnd), *option)

    def post(self, hwnd, message, wparam=0, lparam=0):
        self._must("post to 0x%x" % hwnd, "post", hex(hwnd), hex(message), hex(wparam), hex(lparam))

    def _one(self, *args):
        code, output = self.run(*args)
        if not output.strip():
            # A driver started while the wineserver was still ending can end without a word.
            time.sleep(0.5)
            code, output = self.run(*args)
        records = parse_records(output)
        if code != 0 or not records:
            raise AssertionError("ui_driver %s: %s" % (" ".join(map(str, args)), output.strip()))
        return records[0]

    # The whole text however long; the rectangle after a resize; a shell link read back; a special folder.
    def text(self, hwnd): return self._one("text", hex(hwnd))["text"]
    def resize(self, hwnd, width, height): return self._one("resize", hex(hwnd), width, height)
    def shortcut(self, path): return self._one("shortcut", path)
    def folder(self, csidl): return self._one("folder", csidl)["path"]

    def foreground(self):
        return next(iter(parse_records(self.run("foreground")[1])), None)


class ScenarioGroup(unittest.TestCase):
    """Scenarios that share one prefix and one service; each test sets the state it needs."""

    @classmethod
    def setUpClass(cls):
        cls.workdir = tempfile.mkdtemp(prefix=cls.__name__ + "-", dir=Config.workdir)
        cls.version = file_version(Config.velorin)
        cls.service = Service(cls.workdir)
        cls.addClassCleanup(cls.service.stop)
        cls.service.start()
        cls.prefix = Prefix(cls.workdir)
        cls.addClassCleanup(cls.prefix.remove)
        cls.driver = Driver(cls.prefix)
        cls.download = cls.prefix.c("download")
        os.makedirs(cls.download)
        cls.stub = os.path.join(cls.download, "velorin.exe")
        shutil.copy2(Config.velorin, cls.stub)
        cls.programs = []

    def tearDown(self):
        for program in self.programs:
            program.kill()
        programs, self.programs = self.programs, []
        if Config.heap_check:
            self.assertEqual([report for p in programs if p.log and os.path.exists(p.log)
                              for report in HEAP_REPORT.findall(read(p.log)[p.log_start:].decode("latin-1"))], [],
                             "Wine reports a damaged heap")

    def set_state(self, settings=None, debug=None, windows_version=None):
        with self.prefix.edit_registry() as reg:
            for key, values in ((SETTINGS_KEY, settings or {}), (DEBUG_KEY, debug or {})):
                for name in list(reg.values(key)):
                    reg.delete(key, name)
                for name, data in values.items():
                    (reg.set_binary if isinstance(data, bytes) else reg.set_string)(key, name, data)
            reg.delete(WINE_KEY, "Version")
            if windows_version:
                reg.set_string(WINE_KEY, "Version", windows_version)

    def settings(self):
        return self.prefix.registry().values(SETTINGS_KEY)

    def installed(self, path):
        full = os.path.join(self.install, *path.split("/"))
        return read(full) if os.path.exists(full) else None

    def clear_log(self):
        open(self.service.log, "w").close()

    def poll(self, probe, timeout=20, what="", interval=0.2, fail=True):
        """probe()'s first true answer, asked every interval; at the time-out its last, or a failure naming what."""
        deadline = time.monotonic() + timeout
        while not (answer := probe()) and time.monotonic() < deadline:
            time.sleep(interval)
        self.assertTrue(answer or not fail, "%s (after %ss)" % (what, timeout))
        return answer

    def scratch(self, name):
        """A file of the group's folder, removed: what a stand-in records there is this test's."""
        pathlib.Path(self.workdir, name).unlink(missing_ok=True)
        return os.path.join(self.workdir, name)

    def debug_values(self):
        return self.prefix.registry().values(DEBUG_KEY)

    def version_text(self, path=None):
        return "%d %d %d %d" % (file_version(path) if path else self.version)

    def start(self, *args, cwd=None, env=None, log=None, exe=None):
        program = Program(self.prefix, exe or self.prefix.win(self.stub), args, cwd=cwd or self.download,
                          log=log or os.path.join(self.workdir, "wine-output.log"), env=env)
        self.programs.append(program)
        return program

    def main_window(self, exclude=(), timeout=20):
        found = self.driver.wait(window_class=MAIN_CLASS, exclude=exclude, timeout=timeout)
        self.assertEqual(len(found), 1, "expected one main window, found %r" % found)
        self.assertEqual((found[0]["title"], found[0]["userdata"]), (MAIN_TITLE, MAIN_MARKER))
        return found[0]

    def dialog(self, title=None, text=None, timeout=20):
        """The one dialog (message box or box) with that title or text, with its controls."""
        found = self.driver.wait(window_class=DIALOG_CLASS, title=title, text=text, timeout=timeout)
        self.assertEqual(len(found), 1, "expected one dialog %r, found %r" % (title or text, found))
        dialog = found[0]
        dialog["controls"] = controls = self.driver.children(dialog["hwnd"])
        dialog["texts"] = [c["text"] for c in controls if c["class"].lower() == "static" and c["text"]]
        dialog["buttons"] = [c["text"].replace("&", "") for c in controls if c["class"].lower() == "button"]
        return dialog

    def cancel(self, program, window):
        self.driver.post(window["hwnd"], WM_COMMAND, IDC_CANCEL)
        self.assertEqual(program.wait(), 0)

    def start_and_cancel(self, *args, cwd=None):
        program = self.start(*args, cwd=cwd)
        window = self.main_window()
        self.cancel(program, window)
        return window


@contextlib.contextmanager
def environment():
    """Re-runs the calling script in a private namespace; yields the arguments not the environment's own."""
    parser = argparse.ArgumentParser(add_help=False)
    for name in _PATH_OPTIONS + ("template", "source", "version"):
        parser.add_argument("--" + name.replace("_", "-"), dest=name, default=getattr(Config, name, None))
    known, rest = parser.parse_known_args()
    for name in _PATH_OPTIONS + ("template",):
        path = getattr(known, name)
        setattr(Config, name, os.path.abspath(path) if path else None)
    Config.source, Config.version = known.source, known.version
    for name in ("velorin", "driver"):
        if not getattr(Config, name) or not os.path.isfile(getattr(Config, name)):
            sys.exit("scenario: --%s must name the built program" % name)
    if not Config.template or not os.path.exists(os.path.join(Config.template, ".booted")):
        sys.exit("scenario: --template (or VELORIN_WINE_TEMPLATE) must name a booted Wine template")
    if not os.environ.get("DISPLAY"):
        sys.exit("scenario: DISPLAY must name an X display (scripts/test starts Xvfb)")
    # Debian's "wine" starts the 32-bit loader first: a 64-bit test build runs under wine64 itself.
    if not os.environ.get("VELORIN_WINE") and pe_machine(Config.velorin) == 0x8664:
        os.environ["VELORIN_WINE"] = "/usr/lib/wine/wine64"
    if os.path.isabs(wine()):
        os.environ.setdefault("WINELOADER", wine())
    if os.environ.get("VELORIN_SCENARIO_NAMESPACE") != "1":
        os.environ["VELORIN_WINE_TEMPLATE"] = Config.template
        os.environ["VELORIN_SCENARIO_NAMESPACE"] = "1"
        sys.stdout.flush()
        os.execvp("unshare", ["unshare", "--net", "--mount", "--", sys.executable] + sys.argv)

    Config.workdir = tempfile.mkdtemp(prefix="velorin-scenario-")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # ctest's time-out: clean up
    dnsmasq = None
    try:
        dnsmasq = _start_network(Config.workdir)
        yield rest
    finally:
        _end(dnsmasq)
        if not Config.keep:
            shutil.rmtree(Config.workdir, ignore_errors=True)


def main():
    with environment() as rest:
        program = unittest.main(module="__main__", argv=[sys.argv[0]] + rest, exit=False)
    sys.exit(not program.result.wasSuccessful())
