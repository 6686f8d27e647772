"""A Wine prefix's registry file (user.reg, system.reg) read and edited directly, valid only while no wineserver
runs for the prefix (it rewrites the file on exit). Sections are '[Key\\\\Name] stamp', then '#...' lines and
'"name"=...' or '@=...' values; what is not touched is written back exactly as read."""

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
            text = f.read()
        # A section: [header line, key name, meta lines, {lower-case name: (name, right-hand text, lines as read)}].
        self.head, self.sections, section, logical, raws = [], [], None, "", []
        for raw in text.split("\n"):
            line = logical + raw.lstrip() if raws else raw
            raws.append(raw)
            if line.endswith("\\") and section and not line.startswith("["):
                logical = line[:-1]  # a value continued on the next line
                continue
            as_read, logical, raws = "\n".join(raws), "", []
            m = re.match(r'\[((?:[^\]\\]|\\.)*)\]|(?:@|"((?:[^"\\]|\\.)*)")=(.*)$', line, re.S)
            if line.startswith("[") and m:
                section = [line, unescape(m.group(1)), [], {}]
                self.sections.append(section)
            elif section is None:
                self.head.append(line)
            elif line.startswith("#"):
                section[2].append(line)
            elif m:
                name = unescape(m.group(2) or "")
                section[3][name.lower()] = (name, m.group(3), as_read)
        while self.head and not self.head[-1].strip():
            self.head.pop()

    def _section(self, key, create=False):
        found = [s for s in self.sections if s[1].lower() == key.lower()]
        if not found and create:
            found = [["[%s] %d" % (escape(key), int(time.time())), key, [], {}]]
            self.sections.append(found[0])
        return found[0] if found else None

    def has_key(self, key):
        return self._section(key) is not None

    def values(self, key):
        """All values of a key as {name: data} (empty when the key is missing)."""
        return {name: decode(rhs) for name, rhs, _ in (self._section(key) or [0, 0, 0, {}])[3].values()}

    def _set(self, key, name, rhs):
        self._section(key, create=True)[3][name.lower()] = (name, rhs, None)

    def set_string(self, key, name, text):
        self._set(key, name, '"%s"' % escape(text))

    def set_binary(self, key, name, data):
        self._set(key, name, "hex:" + ",".join("%02x" % b for b in data))

    def delete(self, key, name):
        (self._section(key) or [0, 0, 0, {}])[3].pop(name.lower(), None)

    def save(self):
        def render(s):
            return "\n".join([s[0]] + s[2] + [raw or ("@" if name == "" else '"%s"' % escape(name)) + "=" + rhs
                                              for name, rhs, raw in s[3].values()]) + "\n"
        with open(self.path, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write("\n".join(self.head) + "\n" + "".join("\n" + render(s) for s in self.sections))
