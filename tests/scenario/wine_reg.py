"""Reads and edits a Wine prefix's registry file (user.reg) directly.

Only valid while no wineserver runs for the prefix: the server holds the
registry in memory and rewrites the file when it exits. Editing the file is
much faster than starting "wine reg" once per value.

The format: a header, then sections

    [Software\\Tavelin\\QuenzarClient] 1700000000
    #time=1da27f1b0a3b09c
    "CWD"="C:\\Quenzar"
    "usgBugReports"=hex:01,02,03,04

with backslashes and quotes escaped inside names and strings. Sections and
values that are not touched are written back exactly as read.
"""

import re
import time

_ESCAPES = {"a": "\a", "b": "\b", "e": "\x1b", "f": "\f", "n": "\n", "r": "\r", "t": "\t", "v": "\v"}

REG_SZ = 1
REG_EXPAND_SZ = 2
REG_BINARY = 3
REG_DWORD = 4


def unescape(text):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        i += 1
        if c != "\\" or i >= len(text):
            out.append(c)
            continue
        c = text[i]
        i += 1
        if c in _ESCAPES:
            out.append(_ESCAPES[c])
        elif c == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", text[i:])
            out.append(chr(int(m.group(0), 16)) if m else "x")
            i += len(m.group(0)) if m else 0
        elif c in "01234567":
            m = re.match(r"[0-7]{0,2}", text[i:])
            out.append(chr(int(c + m.group(0), 8)))
            i += len(m.group(0))
        else:
            out.append(c)
    return "".join(out)


def escape(text):
    out = []
    for c in text:
        if c in '\\"':
            out.append("\\" + c)
        elif ord(c) < 32 or ord(c) > 126:
            out.append("\\x%04x" % ord(c))
        else:
            out.append(c)
    return "".join(out)


def _split_quoted(line):
    """Splits '"name"=rest' or '@=rest' into (name, rest); name '' is the default value."""
    if line.startswith("@="):
        return "", line[2:]
    m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line, re.S)
    if not m:
        return None
    return unescape(m.group(1)), m.group(2)


def decode(rhs):
    """Returns (type, data) for the text after '='."""
    if rhs.startswith('"') and rhs.endswith('"'):
        return REG_SZ, unescape(rhs[1:-1])
    m = re.match(r'str\((\d+)\):"(.*)"$', rhs, re.S)
    if m:
        return int(m.group(1), 16), unescape(m.group(2))
    if rhs.startswith("dword:"):
        return REG_DWORD, int(rhs[6:], 16)
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)$", rhs, re.S)
    if m:
        kind = int(m.group(1), 16) if m.group(1) else REG_BINARY
        digits = re.sub(r"[\s,\\]", "", m.group(2))
        data = bytes.fromhex(digits)
        if kind in (REG_SZ, REG_EXPAND_SZ):
            return kind, data.decode("utf-16-le").rstrip("\0")
        return kind, data
    raise ValueError("unknown registry value text: %r" % rhs)


class Section:
    def __init__(self, header, name):
        self.header = header
        self.name = name
        self.meta = []
        self.values = {}  # lower-case name -> (name, right-hand text, lines as read)

    def render(self):
        lines = [self.header] + self.meta
        for name, rhs, raw in self.values.values():
            lines.append(raw or ("@" if name == "" else '"%s"' % escape(name)) + "=" + rhs)
        return "\n".join(lines) + "\n"


class RegistryFile:
    def __init__(self, path):
        self.path = path
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            text = f.read()
        self.head = []
        self.sections = []
        current = None
        pending = ""
        pending_raw = []
        for raw in text.split("\n"):
            line = pending + raw.lstrip() if pending else raw
            pending_raw.append(raw)
            if line.endswith("\\") and current is not None and not line.startswith("["):
                pending = line[:-1]
                continue
            pending = ""
            as_read = "\n".join(pending_raw)
            pending_raw = []
            if line.startswith("["):
                m = re.match(r"\[((?:[^\]\\]|\\.)*)\]", line)
                current = Section(line, unescape(m.group(1)))
                self.sections.append(current)
            elif current is None:
                self.head.append(line)
            elif line.startswith("#"):
                current.meta.append(line)
            elif line.strip():
                split = _split_quoted(line)
                if split:
                    current.values[split[0].lower()] = split + (as_read,)
        while self.head and not self.head[-1].strip():
            self.head.pop()

    def _section(self, key, create=False):
        for section in self.sections:
            if section.name.lower() == key.lower():
                return section
        if not create:
            return None
        section = Section("[%s] %d" % (escape(key), int(time.time())), key)
        self.sections.append(section)
        return section

    def has_key(self, key):
        return self._section(key) is not None

    def values(self, key):
        """All values of a key as {name: data} (empty when the key is missing)."""
        section = self._section(key)
        if not section:
            return {}
        return {name: decode(rhs)[1] for name, rhs, _ in section.values.values()}

    def get(self, key, name):
        """The data of one value (str, bytes or int), or None when missing."""
        section = self._section(key)
        entry = section.values.get(name.lower()) if section else None
        return decode(entry[1])[1] if entry else None

    def set_string(self, key, name, text):
        self._section(key, create=True).values[name.lower()] = (name, '"%s"' % escape(text), None)

    def set_binary(self, key, name, data):
        rhs = "hex:" + ",".join("%02x" % b for b in data)
        self._section(key, create=True).values[name.lower()] = (name, rhs, None)

    def delete(self, key, name):
        section = self._section(key)
        if section:
            section.values.pop(name.lower(), None)

    def save(self):
        parts = ["\n".join(self.head) + "\n"]
        for section in self.sections:
            parts.append("\n" + section.render())
        with open(self.path, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write("".join(parts))
