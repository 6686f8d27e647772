"""Reads and edits a Wine prefix's registry file (user.reg, system.reg) directly.

Valid only while no wineserver runs for the prefix (the server rewrites the file
when it exits). Sections look like '[Software\\\\Tavelin\\\\QuenzarClient] 1700000000',
then '#time=...' lines and '"name"="text"', '"name"=hex:01,02' or '@=...' values;
whatever is not touched is written back exactly as read.
"""

import re
import time

_ESCAPES = {"a": "\a", "b": "\b", "e": "\x1b", "f": "\f", "n": "\n", "r": "\r", "t": "\t", "v": "\v"}
REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD = 1, 2, 3, 4


def _unescape_one(m):
    s = m.group(1)
    if s[0] == "x":
        return chr(int(s[1:], 16)) if len(s) > 1 else "x"
    return chr(int(s, 8)) if s[0] in "01234567" else _ESCAPES.get(s, s)


def unescape(text):
    return re.sub(r"\\(x[0-9a-fA-F]{0,4}|[0-7]{1,3}|.)", _unescape_one, text, flags=re.S)


def escape(text):
    return "".join("\\" + c if c in '\\"' else "\\x%04x" % ord(c) if not 32 <= ord(c) <= 126 else c
                   for c in text)


def decode(rhs):
    """(type, data) for the text after '='."""
    if rhs.startswith('"') and rhs.endswith('"'):
        return REG_SZ, unescape(rhs[1:-1])
    m = re.match(r'str\((\d+)\):"(.*)"$', rhs, re.S)
    if m:
        return int(m.group(1), 16), unescape(m.group(2))
    if rhs.startswith("dword:"):
        return REG_DWORD, int(rhs[6:], 16)
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)$", rhs, re.S)
    if not m:
        raise ValueError("unknown registry value text: %r" % rhs)
    kind = int(m.group(1), 16) if m.group(1) else REG_BINARY
    data = bytes.fromhex(re.sub(r"[\s,\\]", "", m.group(2)))
    return (kind, data.decode("utf-16-le").rstrip("\0")) if kind in (REG_SZ, REG_EXPAND_SZ) else (kind, data)


class Section:
    def __init__(self, header, name):
        self.header, self.name, self.meta = header, name, []
        self.values = {}  # lower-case name -> (name, right-hand text, lines as read or None)

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
        self.head, self.sections = [], []
        current, pending, pending_raw = None, "", []
        for raw in text.split("\n"):
            line = pending + raw.lstrip() if pending else raw
            pending_raw.append(raw)
            if line.endswith("\\") and current is not None and not line.startswith("["):
                pending = line[:-1]  # a value continued on the next line
                continue
            pending, as_read, pending_raw = "", "\n".join(pending_raw), []
            if line.startswith("["):
                current = Section(line, unescape(re.match(r"\[((?:[^\]\\]|\\.)*)\]", line).group(1)))
                self.sections.append(current)
            elif current is None:
                self.head.append(line)
            elif line.startswith("#"):
                current.meta.append(line)
            else:
                m = re.match(r'(?:@|"((?:[^"\\]|\\.)*)")=(.*)$', line, re.S)
                if m:
                    name = unescape(m.group(1) or "")
                    current.values[name.lower()] = (name, m.group(2), as_read)
        while self.head and not self.head[-1].strip():
            self.head.pop()

    def _section(self, key, create=False):
        for section in self.sections:
            if section.name.lower() == key.lower():
                return section
        if create:
            self.sections.append(Section("[%s] %d" % (escape(key), int(time.time())), key))
            return self.sections[-1]
        return None

    def has_key(self, key):
        return self._section(key) is not None

    def values(self, key):
        """All values of a key as {name: data} (empty when the key is missing)."""
        section = self._section(key)
        return {name: decode(rhs)[1] for name, rhs, _ in section.values.values()} if section else {}

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
        with open(self.path, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write("\n".join(self.head) + "\n" + "".join("\n" + s.render() for s in self.sections))
