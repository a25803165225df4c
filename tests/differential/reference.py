"""A second, deliberately plain model of softlist2dat's conversion, written
from the description of the format rather than from the tool's code: it
walks the bytes one index at a time, exactly as the rules are stated, so
that the tool's faster code can be compared with it byte for byte.

convert(data, disks=False, version=b"") -> (dat_bytes, line_count)
convert_per_list(data, disks=False, xml=False, version=b"") -> ({list_name: dat_bytes}, line_count, stderr_lines)
"""

PIECE = 2047
NAME_CAP = 255
DESC_CAP = 1023
TAG_PIECES = 16


def pieces(data):
    text = data.replace(b"\r\n", b"\n")
    i = 0
    while i < len(text):
        lf = text.find(b"\n", i, i + PIECE)
        end = lf + 1 if lf != -1 else min(i + PIECE, len(text))
        yield text[i:end]
        i = end


def at(line, i, text):
    """True when `text` stands at line[i] wholly inside the piece."""
    return i >= 0 and line[i:i + len(text)] == text and i + len(text) <= len(line)


def byte(line, i):
    return line[i:i + 1] if 0 <= i < len(line) else b""


HEX_FOLD = bytes.maketrans(b"ABCDEF", b"abcdef")


def hex_folded(value):
    """A hash as merges compare it: hex digits without regard to case."""
    return value.translate(HEX_FOLD)


def cut(value):
    """A field is a NUL-terminated text: it ends at its first NUL."""
    return value.split(b"\0", 1)[0]


def title(text):
    """A title as written: each double quote becomes two apostrophes."""
    return text.replace(b'"', b"''")


def size_text(value):
    """A size as written: 0x or 0X and 1 to 16 significant hex digits in
    decimal, anything else unchanged."""
    digits = value[2:]
    if (value[:2] in (b"0x", b"0X") and digits and all(c in b"0123456789abcdefABCDEF" for c in digits)
            and len(digits.lstrip(b"0")) <= 16):
        return str(int(digits, 16)).encode()
    return value


def size_number(value):
    """A size's value when it is a number: a hex size as size_text takes it,
    or 1 to 19 decimal digits; else None."""
    if size_text(value) != value or (1 <= len(value) <= 19 and value.isdigit()):
        return int(size_text(value))
    return None


NAMED = {b"amp": b"&", b"lt": b"<", b"gt": b">", b"quot": b'"', b"apos": b"'"}


def decode(raw, line_breaks):
    """Every reference decoded: the five names, and &#N; / &#xH; as UTF-8
    where XML allows the code point (LF and CR only with `line_breaks`);
    anything else, or a reference of over 32 bytes between & and ;, stays."""
    out, i = b"", 0
    while i < len(raw):
        end = raw.find(b";", i + 1)
        name = raw[i + 1:end] if raw[i:i + 1] == b"&" and end != -1 and end - i - 1 <= 32 else None
        char = None
        if name in NAMED:
            char = NAMED[name]
        elif name is not None and name[:1] == b"#":
            digits, base = (name[2:], 16) if name[1:2] == b"x" else (name[1:], 10)
            allowed = b"0123456789abcdefABCDEF" if base == 16 else b"0123456789"
            if digits and all(c in allowed for c in digits):
                code = int(digits, base)
                ok = (code in (9, 10, 13) or 0x20 <= code) and not 0xD800 <= code <= 0xDFFF and \
                    code not in (0xFFFE, 0xFFFF) and code <= 0x10FFFF and (line_breaks or code not in (10, 13))
                char = chr(code).encode("utf-8", "surrogatepass") if ok else None
        if char is None:
            out += raw[i:i + 1]
            i += 1
        else:
            out += char
            i = end + 1
    return out


def xml_text(value):
    """A value as XML text: & < > " escaped, tab, LF and CR as references,
    bytes outside valid UTF-8 as U+FFFD, other controls and U+FFFE/U+FFFF
    left out."""
    out, i = b"", 0
    while i < len(value):
        for n in (1, 2, 3, 4):
            try:
                char = value[i:i + n].decode("utf-8")
            except UnicodeDecodeError:
                continue
            break
        else:
            out += "\ufffd".encode()
            i += 1
            continue
        i += n
        if char in "&<>\"\t\n\r":
            out += {"&": b"&amp;", "<": b"&lt;", ">": b"&gt;", '"': b"&quot;", "\t": b"&#9;", "\n": b"&#10;",
                    "\r": b"&#13;"}[char]
        elif char >= " " and char not in "\ufffe\uffff":
            out += char.encode()
    return out


DOCTYPE = (b'<?xml version="1.0"?>\n<!DOCTYPE datafile PUBLIC "-//Logiqx//DTD ROM Management Datafile//EN" '
           b'"http://www.logiqx.com/Dats/datafile.dtd">\n')


HEADER_TAIL = b"\tcategory \"MESS\"\n\tauthor \"Tobrek's Grotwick V0.01\"\n)\n\n"
SAFE = set(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.")
DEVICES = {b"con", b"nul", b"aux", b"prn"} | {b"com%d" % i for i in range(1, 10)} | {b"lpt%d" % i for i in range(1, 10)}


def why_no_dat(name, met):
    """Why a list of this name gets no DAT of its own, or None."""
    if not name:
        return "empty name"
    if len(name) > 200:
        return "name longer than 200 bytes"
    if name[:1] == b".":
        return "name starts with a dot"
    if any(c not in SAFE for c in name):
        return "name holds a byte other than A-Z a-z 0-9 _ - ."
    if name.split(b".", 1)[0].lower() in DEVICES:
        return "name is a Windows device name"
    if name.lower() in (m.lower() for m in met):
        return "name met before in this run"
    return None


def shown(name):
    """The name as a message shows it: control bytes as \\xHH."""
    return b"".join(bytes([c]) if 0x20 <= c != 0x7F else b"\\x%02X" % c for c in name)


class Model:
    def __init__(self, source, disks, per_list=False, xml=False, version=b""):
        self.source = source
        self.disks = disks
        self.per_list = per_list
        self.xml = xml
        self.version = version
        self.pending = None       # per list: a set whose lines wait: [name, title, parent, year, publisher]
        self.open = False         # per list, XML: a game element is open
        self.reported = False     # per list: something of a set came before the first list
        self.out = bytearray()
        self.lines = 0
        self.list_name = self.software = self.software_raw = self.description = self.clone_of = b""
        self.dats = {}            # per list: name -> DAT bytes, in order met
        self.skipped = []         # per list: the stderr lines
        self.preamble = self.out  # per list: what is written before the first list
        self.held = None          # a ROM with a hash: [name, values, chunk sizes, raw name, whole, bad]
        self.tag = None           # a start tag open: {kind, pieces left, and the line's values}
        self.in_dat = False       # per list: a list's DAT is being written
        self.sets = []            # per list: the DAT's sets: [name, parent, [line: key, written name, place]]
        self.in_set = False       # per list: the last set written takes the lines written now
        self.disks_held = []      # per list, XML: the open game's disk lines, written after its roms

    def write(self, text):
        self.out += text.replace(b"\n", b"\r\n")

    # -- extraction ------------------------------------------------------
    def locate(self, line, keyword, start):
        i = start
        while i < len(line):
            if at(line, i, keyword):
                for offset in range(len(keyword), len(keyword) + 5):
                    if byte(line, i + offset) == b"=":
                        return i
            i += 1
        return None

    def text_end(self, line):
        return len(line) - 1 if line.endswith(b"\n") else len(line)

    def append_decoded(self, line, pos, value, cap):
        if at(line, pos, b"&apos;"):
            char, step = b"'", 6
        elif at(line, pos, b"&amp;"):
            char, step = b"&", 5
        else:
            char, step = line[pos:pos + 1], 1
        if len(value) < cap:
            value += char
        return pos + step, value

    def quoted(self, line, match, decoded, cap=NAME_CAP):
        """Returns (value, pos) for the value behind a match."""
        end = self.text_end(line)
        pos = match + 4
        while pos < end and byte(line, pos) != b'"':
            pos += 1
        if pos >= end:
            return b"", end
        pos += 1
        value = b""
        while pos < end and byte(line, pos) != b'"':
            if decoded:
                pos, value = self.append_decoded(line, pos, value, cap)
            else:
                if len(value) < cap:
                    value += line[pos:pos + 1]
                pos += 1
        return value, pos

    def name(self, line, start, decoded=False):
        match = self.locate(line, b"name", start)
        if match is None:
            return b"", len(line)
        return self.quoted(line, match, decoded)

    def tag_attribute(self, line, keyword, start, decoded, cap):
        """A value whose keyword and equals sign stand before the line's first
        '>' after `start`."""
        end = line.find(b">", start)
        match = self.locate(line[:end] if end != -1 else line, keyword, start)
        return b"" if match is None else self.quoted(line, match, decoded, cap)[0]

    def value(self, raw, cap=NAME_CAP):
        """A list DAT's value: decoded, cut at its field's bytes, then as the
        form writes it."""
        decoded = decode(cut(raw), self.xml)[:cap]
        return xml_text(decoded) if self.xml else title(decoded)

    def end_dat(self):
        """Per list: what ends the DAT (or the sink) being written."""
        self.flush_set()
        if self.in_dat:
            self.close_set()
            if self.xml:
                self.write(b"</datafile>\n")
            self.merge()
        self.open = self.in_dat = self.in_set = False
        self.sets = []

    def header_version(self):
        if self.xml:
            return b"<version>" + xml_text(self.version) + b"</version>" if self.version else b"<version/>"
        return b"\tversion \"" + title(self.version) + b"\"\n" if self.version else b""

    def begin_list(self, line, p):
        """Per list: the list line switches the DAT being written."""
        self.end_dat()
        if self.out is self.preamble and self.reported and not self.dats and not self.skipped:
            self.skipped.append(b"softlist2dat: line 1: list '' skipped: written before the first list")
        self.reported = False
        self.preamble = None
        name = cut(self.list_name)
        description = cut(self.tag_attribute(line, b"description", p + 13, False, PIECE))
        reason = why_no_dat(name, self.dats)
        if reason:
            self.skipped.append(b"softlist2dat: line %d: list '%s' skipped: %s" % (self.lines + 1, shown(name),
                                                                                    reason.encode()))
            self.out = bytearray()
            return
        self.out = bytearray()
        self.dats[name] = self.out
        self.in_dat = True
        if self.xml:
            self.write(DOCTYPE + b"<datafile>\n\t<header>\n\t\t<name>" + xml_text(name) + b"</name>\n\t\t<description>" +
                       (self.value(description, DESC_CAP) if description else xml_text(name)) +
                       b"</description>\n\t\t<category>MESS</category>\n\t\t" + self.header_version() + b"\n"
                       b"\t\t<author>Tobrek's Grotwick V0.01</author>\n\t</header>\n")
        else:
            self.write(b"clrmamepro (\n\tname \"" + name + b"\"\n\tdescription \"" +
                       (self.value(description, DESC_CAP) if description else title(name)) + b"\"\n" +
                       self.header_version() + HEADER_TAIL)

    def report(self):
        if self.preamble is not None:
            self.reported = True

    def flush_set(self):
        """Per list: the waiting set's lines."""
        if self.pending is None:
            return
        (name, text, parent, year, publisher), self.pending = self.pending, None
        v = self.value
        if self.in_dat:
            self.sets.append([decode(cut(name), self.xml)[:NAME_CAP], decode(cut(parent), self.xml)[:NAME_CAP], []])
            self.in_set = True
        if self.xml:
            self.write(b"\t<game name=\"" + v(name) + b"\"" +
                       (b" cloneof=\"" + v(parent) + b"\" romof=\"" + v(parent) + b"\"" if parent else b"") +
                       b">\n\t\t<description>" + v(text, DESC_CAP) + b"</description>\n" +
                       (b"\t\t<year>" + v(year, DESC_CAP) + b"</year>\n" if year else b"") +
                       (b"\t\t<manufacturer>" + v(publisher, DESC_CAP) + b"</manufacturer>\n" if publisher else b""))
            self.open = True
            return
        self.write(b"\ngame (\n  name \"" + v(name) + b"\"\n  description \"" + v(text, DESC_CAP) + b"\"\n" +
                   (b"  cloneof \"" + v(parent) + b"\"\n  romof \"" + v(parent) + b"\"\n" if parent else b"") +
                   (b"  year \"" + v(year, DESC_CAP) + b"\"\n" if year else b"") +
                   (b"  manufacturer \"" + v(publisher, DESC_CAP) + b"\"\n" if publisher else b""))

    def close_set(self):
        if self.open:
            for disk in self.disks_held:
                self.write_disk(*disk)
            self.write(b"\t</game>\n")
            self.open = False
        self.disks_held = []
        self.in_set = False

    def write_line(self, opening, name, rest, key):
        """Per list: a rom or disk line, `name` as written; noted for the
        merges when it belongs to a set and has a key."""
        self.write(opening + name + (b"\"" if self.xml else b"\" "))
        if self.in_dat and self.in_set and key:
            self.sets[-1][2].append((key, name, len(self.out)))
        self.write(rest)

    def merge(self):
        """Per list, at the DAT's end: a clone's line gets the name of the
        first line of its parent's set (the first set of that name, not the
        clone itself) with the same key."""
        first = {}
        for index, (name, _, _) in enumerate(self.sets):
            first.setdefault(name, index)
        insertions = []
        for index, (_, parent, lines) in enumerate(self.sets):
            source = first.get(parent) if parent else None
            if source is None or source == index:
                continue
            for key, _, place in lines:
                match = next((name for k, name, _ in self.sets[source][2] if k == key and name), None)
                if match is not None:
                    insertions.append((place, b" merge=\"" + match + b"\"" if self.xml else b"merge \"" + match + b"\" "))
        for place, text in reversed(insertions):
            self.out[place:place] = text

    def element_text(self, line, pos):
        """The raw text from pos up to the first </ (or the text's end), up
        to its first NUL."""
        end = self.text_end(line)
        stop = pos
        while stop < end and not (byte(line, stop) == b"<" and stop + 1 < end and byte(line, stop + 1) == b"/"):
            stop += 1
        return cut(line[pos:stop])

    def detail_line(self, line, pos, index):
        if self.per_list and self.pending is not None and self.pending[index] is None:
            self.pending[index] = self.element_text(line, pos)

    # -- handlers --------------------------------------------------------
    def description_line(self, line, pos):
        start = pos
        end = self.text_end(line)
        value = b""
        while pos < end and not (byte(line, pos) == b"<" and pos + 1 < end and byte(line, pos + 1) == b"/"):
            pos, value = self.append_decoded(line, pos, value, DESC_CAP)
        self.description = value
        software, listed = cut(self.software), cut(self.list_name)
        if self.per_list:
            self.report()
            self.flush_set()
            self.close_set()
            self.pending = [cut(self.software_raw), self.element_text(line, start), cut(self.clone_of), None, None]
            return
        self.write(b"\ngame (\n  name \"" + software + b"\"\n  description \"" + listed + b"\\" + software +
                   b"  [ " + title(cut(value)) + b" ]\"\n")

    def found(self, line, keyword, start, end=None):
        """The value of the keyword found in line[start:end] (its value copied
        from the whole line), cut at its NUL; b"" for none."""
        match = self.locate(line[:end] if end is not None else line, keyword, start)
        return cut(self.quoted(line, match, False)[0]) if match is not None else b""

    def rom_line(self, line, pos):
        match = self.locate(line, b"name", pos)
        rom_name, attr_start = self.name(line, pos, decoded=True)
        raw_name = cut(self.quoted(line, match, False, PIECE)[0]) if match is not None else b""
        values, whole = {}, {}
        for keyword in (b"size", b"crc", b"sha", b"md5"):
            values[keyword] = self.found(line, keyword, attr_start)
            before = self.found(line, keyword, pos, match) if match is not None and not values[keyword] else b""
            whole[keyword] = values[keyword] or before
        status = self.found(line, b"status", attr_start)
        status = status or (self.found(line, b"status", pos, match) if match is not None else b"")
        rom = {"kind": "rom", "name": rom_name, "raw": raw_name, "values": values, "whole": whole, "status": status}
        self.start_tag(line, pos, rom)

    def start_tag(self, line, pos, element):
        """A ROM or disk line: its start tag ends in the piece, or is left
        open for the pieces after it."""
        if b">" in line[pos:]:
            self.end_tag(element)
        else:
            element["pieces"] = TAG_PIECES
            self.tag = element

    def continue_tag(self, line, p):
        """The open start tag's piece: each value still empty searched in
        the piece from p, before its first '>'."""
        element = self.tag
        gt = line.find(b">", p)
        end = gt if gt != -1 else None
        if not cut(element["name"]):
            match = self.locate(line[:end] if end is not None else line, b"name", p)
            if match is not None:
                element["name"] = self.quoted(line, match, True)[0]
                element["raw"] = cut(self.quoted(line, match, False, PIECE)[0])
        if element["kind"] == "rom":
            for keyword in (b"size", b"crc", b"sha", b"md5"):
                empty = element["whole" if self.per_list else "values"][keyword] == b""
                if empty:
                    element["values"][keyword] = element["whole"][keyword] = self.found(line, keyword, p, end)
        elif not element["sha1"]:
            element["sha1"] = self.found(line, b"sha", p, end)
        if self.per_list and not element["status"]:
            element["status"] = self.found(line, b"status", p, end)
        element["pieces"] -= 1
        if gt != -1 or element["pieces"] == 0:
            self.tag = None
            self.end_tag(element)

    def end_tag(self, element):
        """The ROM held when it has a hash; the disk written when it has a
        sha1."""
        if element["kind"] == "disk":
            if element["sha1"]:
                self.write_disk_line(element)
            return
        hashes = element["whole" if self.per_list else "values"]
        if hashes[b"crc"] or hashes[b"sha"] or hashes[b"md5"]:
            self.held = [element["name"], element["values"], [], element["raw"], element["whole"],
                         element["status"] == b"baddump"]

    def chunk_size(self, line, p):
        """A chunk row's size: a nameless row whose start tag holds a size, a
        continue or ignore loadflag and no hash. None for any other line."""
        end = line.find(b">", p + 4)
        tag = line[:end] if end != -1 else line
        value = lambda k: b"" if (m := self.locate(tag, k, p + 4)) is None else cut(self.quoted(line, m, False)[0])
        if (at(line, p, b"<rom") and byte(line, p + 4) in (b" ", b"\t") and self.locate(line, b"name", p + 4) is None
                and not (value(b"crc") or value(b"sha") or value(b"md5")) and value(b"loadflag") in (b"continue", b"ignore")):
            return value(b"size") or None
        return None

    def write_held(self):
        (rom_name, values, chunks, raw_name, whole, bad), self.held = self.held, None

        def size(value):
            numbers = [size_number(v) for v in [value] + chunks]
            total = chunks and None not in numbers and sum(numbers) < 2 ** 64 and str(sum(numbers)).encode()
            return total or size_text(value)
        if self.per_list:
            self.report()
            self.flush_set()
            rom_name, values = self.value(raw_name), whole
            if self.xml and not self.open:
                return
        elif not (values[b"crc"] or values[b"sha"] or values[b"md5"]):
            return
        found = [(label, size(values[k]) if k == b"size" else values[k])
                 for label, k in ((b"size", b"size"), (b"crc", b"crc"), (b"md5", b"md5"), (b"sha1", b"sha")) if values[k]]
        if not self.per_list:
            self.write(b"  rom ( name \"" + cut(rom_name) + b"\" " + b"".join(k + b" " + v + b" " for k, v in found) +
                       b")\n")
            return
        key = (b"rom", size(values[b"size"]), hex_folded(values[b"crc"]), hex_folded(values[b"sha"])) \
            if values[b"size"] and values[b"crc"] and values[b"sha"] else None
        if self.xml:
            self.write_line(b"\t\t<rom name=\"", rom_name, b"".join(b" %s=\"%s\"" % (k, xml_text(v)) for k, v in found) +
                            (b' status="baddump"' if bad else b"") + b"/>\n", key)
        else:
            self.write_line(b"  rom ( name \"", rom_name, b"".join(k + b" " + v + b" " for k, v in found) +
                            (b"flags baddump " if bad else b"") + b")\n", key)

    def disk_line(self, line, pos):
        match = self.locate(line, b"name", pos)
        if match is None:
            disk_name, raw_name, sha_from = b"", b"", len(line)
        else:
            disk_name, sha_from = self.quoted(line, match, True)
            raw_name = cut(self.quoted(line, match, False, PIECE)[0])
        disk = {"kind": "disk", "name": disk_name, "raw": raw_name, "sha1": self.found(line, b"sha", sha_from),
                "status": self.found(line, b"status", sha_from) if self.per_list else b""}
        self.start_tag(line, pos, disk)

    def write_disk_line(self, disk):
        sha1, bad = disk["sha1"], disk["status"] == b"baddump"
        if not self.per_list:
            self.write(b"  disk ( name \"" + cut(disk["name"]) + b"\" sha1 " + sha1 + b" )\n")
            return
        self.report()
        self.flush_set()
        if not self.xml:
            self.write_disk(self.value(disk["raw"]), sha1, bad)
        elif self.open:
            self.disks_held.append((self.value(disk["raw"]), sha1, bad))

    def write_disk(self, name, sha1, bad):
        if self.xml:
            self.write_line(b"\t\t<disk name=\"", name, b" sha1=\"" + xml_text(sha1) + b"\"" +
                            (b' status="baddump"' if bad else b"") + b"/>\n", (b"disk", hex_folded(sha1)))
        else:
            self.write_line(b"  disk ( name \"", name, b"sha1 " + sha1 + b" " + (b"flags baddump " if bad else b"") +
                            b")\n", (b"disk", hex_folded(sha1)))

    def close_line(self):
        if not self.per_list:
            self.write(b"  rebuildto \"" + cut(self.list_name) + b"\"\n)\n")
            return
        self.report()
        self.flush_set()
        if self.xml:
            self.close_set()
        else:
            self.write(b")\n")
            self.in_set = False

    # -- classifier ------------------------------------------------------
    def classify(self, line):
        p = 0
        while byte(line, p) in (b" ", b"\t"):
            p += 1
        if self.tag:
            if byte(line, p) != b"<":
                self.continue_tag(line, p)
                return
            element, self.tag = self.tag, None
            self.end_tag(element)
        if self.held:
            chunk = self.chunk_size(line, p)
            if chunk is not None:
                self.held[2].append(chunk)
                return
            self.write_held()
        if byte(line, p) == b"\n":
            return
        if at(line, p, b"<!--"):
            self.skip_comment(line, p + 4)
        elif at(line, p, b"<softwarelists") and byte(line, p + 14) in (b"", b">", b" ", b"\t", b"\n"):
            pass   # the root of MAME's dumps: no list
        elif at(line, p, b"<softwarelist"):
            self.list_name = self.name(line, p + 13)[0]
            if self.per_list:
                self.begin_list(line, p)
        elif at(line, p, b"<software"):
            self.software = self.name(line, p + 9)[0]
            if self.per_list:
                match = self.locate(line, b"name", p + 9)
                self.software_raw = self.quoted(line, match, False, PIECE)[0] if match is not None else b""
                self.clone_of = self.tag_attribute(line, b"cloneof", p + 9, False, PIECE)
        elif at(line, p, b"<description>"):
            self.description_line(line, p + 13)
        elif at(line, p, b"<rom") and not at(line, p + 5, b"siz") and not at(line, p + 5, b"val"):
            self.rom_line(line, p + 4)
        elif at(line, p, b"</software>"):
            self.close_line()
        elif self.disks and at(line, p, b"<disk") and byte(line, p + 5) in (b" ", b"\t", b"\n"):
            self.disk_line(line, p + 5)
        elif at(line, p, b"<year>"):
            self.detail_line(line, p + 6, 3)
        elif at(line, p, b"<publisher>"):
            self.detail_line(line, p + 11, 4)

    def skip_comment(self, line, pos):
        while True:
            if any(byte(line, pos + k) in (b"\n", b"") for k in range(3)):
                line = next(self.source, None)
                if line is None:
                    return
                self.lines += 1
                pos = 0
                continue
            if at(line, pos, b"-->"):
                return
            pos += 1


def scan(model):
    """Every line through the classifier, then the tag still open and the
    ROM still held."""
    for line in model.source:
        model.classify(line)
        model.lines += 1
    if model.tag:
        element, model.tag = model.tag, None
        model.end_tag(element)
    if model.held:
        model.write_held()


def convert(data, disks=False, version=b""):
    model = Model(pieces(data), disks)
    model.write(b"clrmamepro (\n\tname \"MESS Software Lists\"\n\tdescription \"All MESS Software Lists Combined\"\n" +
                (b"\tversion \"" + title(version) + b"\"\n" if version else b"") +
                b"\tcategory \"MESS\"\n\tauthor \"Tobrek's Grotwick V0.01\"\n)\n\n")
    scan(model)
    return bytes(model.out), model.lines


def convert_per_list(data, disks=False, xml=False, version=b""):
    model = Model(pieces(data), disks, per_list=True, xml=xml, version=version)
    scan(model)
    model.end_dat()
    if model.reported and model.preamble is not None:
        model.skipped.append(b"softlist2dat: line 1: list '' skipped: written before the first list")
    return {name: bytes(dat) for name, dat in model.dats.items()}, model.lines, model.skipped
