"""A Wine prefix's registry file (user.reg, system.reg) read and edited directly, valid only while no wineserver
runs for the prefix (it rewrites the file on exit). Sections, a blank line apart, are '[Key\\\\Name] stamp', then
'#...' lines and '"name"=...' or '@=...' values; a section not looked at is written back exactly as read."""

import re
import time

_ESCAPES = {"a": "\a", "b": "\b", "e": "\x1b", "f": "\f", "n": "\n", "r": "\r", "t": "\t", "v": "\v"}
REG_SZ, REG_EXPAND_SZ = 1, 2


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
    """The data of the text after '=': str, int (dword) or bytes."""
    m = re.match(r'(?:str\(([0-9a-fA-F]+)\):)?"(.*)"$', rhs, re.S)
    if m:
        return unescape(m.group(2))
    if rhs.startswith("dword:"):
        return int(rhs[6:], 16)
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)$", rhs, re.S)
    if not m:
        raise ValueError("unknown registry value text: %r" % rhs)
    data = bytes.fromhex(re.sub(r"[\s,\\]", "", m.group(2)))
    return data.decode("utf-16-le").rstrip("\0") if m.group(1) and int(m.group(1), 16) in (REG_SZ, REG_EXPAND_SZ) else data


class RegistryFile:
    def __init__(self, path):
        self.path = path
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            self.head, *sections = f.read().rstrip("\n").split("\n\n[")
        # Lower-case key -> its text as read, or once looked at [header, meta lines, {lower-case name: (name, rhs)}].
        self.sections = {unescape(re.match(r"((?:[^\]\\]|\\.)*)\]", s).group(1)).lower(): "[" + s for s in sections}

    def _section(self, key, create=False):
        section = self.sections.get(key.lower())
        if section is None and create:
            section = "[%s] %d" % (escape(key), int(time.time()))
        if isinstance(section, str):
            header, *lines = re.sub(r"\\\n\s*", "", section).split("\n")  # a value continued on the next line
            matches = [re.match(r'(?:@|"((?:[^"\\]|\\.)*)")=(.*)$', line, re.S) for line in lines]
            section = self.sections[key.lower()] = [header, [line for line in lines if line.startswith("#")], {
                unescape(m.group(1) or "").lower(): (unescape(m.group(1) or ""), m.group(2)) for m in matches if m}]
        return section or [0, 0, {}]

    def has_key(self, key):
        return key.lower() in self.sections

    def values(self, key):
        """All values of a key as {name: data} (empty when the key is missing)."""
        return {name: decode(rhs) for name, rhs in self._section(key)[2].values()}

    def set_string(self, key, name, text):
        self._section(key, create=True)[2][name.lower()] = (name, '"%s"' % escape(text))

    def set_binary(self, key, name, data):
        self._section(key, create=True)[2][name.lower()] = (name, "hex:" + ",".join("%02x" % b for b in data))

    def delete(self, key, name):
        self._section(key)[2].pop(name.lower(), None)

    def save(self):
        def render(s):
            return s if isinstance(s, str) else "\n".join(
                [s[0]] + s[1] + [("@" if name == "" else '"%s"' % escape(name)) + "=" + rhs for name, rhs in s[2].values()])
        with open(self.path, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write("\n\n".join([self.head] + [render(s) for s in self.sections.values()]) + "\n")
