#!/usr/bin/env python3
"""Runs softlist2dat on MAME's whole software-list collection and checks the
result by means that share nothing with the tool's scanner:

- exit status 0 and the summary's line count equal to the line count of the
  concatenated files;
- one game block per description line that opens its line outside a comment;
- every DAT line has one of the shapes the writer produces, ending in CR LF;
- a strict tokenizer (a quoted value ends at the next quote, no escapes)
  reads every game and rom whole, each value equal to the text its line
  holds; sizes are decimal, titles read LIST\\NAME  [ TITLE ];
- an independent ClrMamePro DAT parser (npm robloach-datfile) reads the same
  games and roms (skipped with a notice when node is not installed);
- every rom line's name and size equal what the lists parsed as XML give,
  each size grown by the continue/ignore rows after its ROM.

With --disks the tool is run with that option, and every disk line that opens
its line outside a comment and carries a sha1 must become a disk entry.
Without it, the tool also runs with --per-list: one DAT per list, each read
whole by both readers, its names unique, its header naming the list, every
set (title, parent, year, manufacturer, ROMs with their sizes, hashes, bad
dumps and merges) as the lists parsed as XML say, a merge counted from them
for each clone ROM equal to a parent ROM by size, crc and sha1; and with
--per-list --xml (with --disks too in the --disks run): each DAT read whole
by a strict XML parser, valid against the Logiqx datafile DTD, with the same
sets.

Usage: collection_test.py [--disks] TOOL LISTS_DIR [CLIENT_DIR]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

SHAPES = [
    re.compile(rb"clrmamepro \("),
    re.compile(rb'\tname "MESS Software Lists"'),
    re.compile(rb'\tdescription "All MESS Software Lists Combined"'),
    re.compile(rb'\tcategory "MESS"'),
    re.compile(rb"\tauthor \"Tobrek's Grotwick V0.01\""),
    re.compile(rb"\)"),
    re.compile(rb""),
    re.compile(rb"game \("),
    re.compile(rb'  name "[^"\r\n]*"'),
    re.compile(rb'  description "[^"\r\n\\]*\\[^"\r\n]*  \[ [^"\r\n]* \]"'),
    re.compile(rb'  rom \( name "[^"\r\n]*" (size \d+ )?(crc [^ \r\n"]+ )?(md5 [^ \r\n"]+ )?(sha1 [^ \r\n"]+ )?\)'),
    re.compile(rb'  rebuildto "[^"\r\n]*"'),
    re.compile(rb'  disk \( name "[^"\r\n]*" sha1 [^ \r\n"]+ \)'),
]
DISK_WITH_SHA1 = re.compile(rb'<disk[ \t].*\bname\s*=\s*"[^"]*".*\bsha1\s*=\s*"[^"]+"')


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def lines_of(data):
    """Line count as a text reader sees it: a last line without LF counts."""
    return data.count(b"\n") + (1 if data and not data.endswith(b"\n") else 0)


def descriptions_outside_comments(data):
    """Counts lines that open with <description> and are not inside <!-- -->."""
    return lines_outside_comments(data, lambda rest: rest.startswith(b"<description>"))


def disks_outside_comments(data):
    """Counts disk lines with a sha1 after their name, outside comments."""
    return lines_outside_comments(data, lambda rest: DISK_WITH_SHA1.match(rest) is not None)


def lines_outside_comments(data, wanted):
    """Counts lines whose text after the leading blanks is `wanted` and that
    are not inside <!-- -->. A comment starts where a line opens with <!--
    and ends at the first --> after that opener."""
    count = 0
    in_comment = False
    for line in data.split(b"\n"):
        rest = line.lstrip(b" \t")
        if in_comment:
            if b"-->" in line:
                in_comment = False
            continue
        if rest.startswith(b"<!--"):
            in_comment = b"-->" not in rest[4:]
            continue
        if wanted(rest):
            count += 1
    return count


def check_shapes(dat):
    if not dat.endswith(b"\r\n"):
        fail("the DAT does not end in CR LF")
    body = dat[:-2]
    if re.search(rb"(?<!\r)\n", dat) or re.search(rb"\r(?!\n)", dat):
        fail("the DAT holds a bare LF or a bare CR")
    games = roms = disks = 0
    for number, line in enumerate(body.split(b"\r\n"), 1):
        if number <= 7:
            if not SHAPES[number - 1].fullmatch(line):
                fail(f"header line {number} reads {line!r}")
            continue
        if not any(shape.fullmatch(line) for shape in SHAPES[5:]):
            fail(f"DAT line {number} has no known shape: {line!r}")
        games += line == b"game ("
        roms += line.startswith(b"  rom ( ")
        disks += line.startswith(b"  disk ( ")
    return games, roms, disks


TOKEN = re.compile(rb'\s*(?:(\()|(\))|"([^"]*)"|([^\s()"]+))')
ROM_KEYS = {b"size", b"crc", b"md5", b"sha1"}
DISK_KEYS = [b"name", b"sha1"]


def tokens(dat):
    """(kind, text) pairs: "(" and ")", "str" for a quoted value (ending at the
    next quote, whatever follows), "word" for anything else."""
    at = 0
    while True:
        match = TOKEN.match(dat, at)
        if match is None:
            if dat[at:].strip():
                fail(f"strict reader: cannot read the DAT at byte {at}")
            return
        at = match.end()
        opened, closed, quoted, word = match.groups()
        if opened:
            yield "(", b"("
        elif closed:
            yield ")", b")"
        elif quoted is not None:
            yield "str", quoted
        else:
            yield "word", word


def block(stream, where):
    """The key/value pairs of one parenthesised block, "(" already read;
    nested blocks come back as lists."""
    pairs = []
    for kind, key in stream:
        if kind == ")":
            return pairs
        if kind != "word":
            fail(f"strict reader: {where}: a key expected, found {key!r}")
        kind, value = next(stream, (")", b")"))
        if kind == "(":
            value = block(stream, where)
        elif kind == ")":
            fail(f"strict reader: {where}: key {key!r} has no value")
        pairs.append((key, value))
    fail(f"strict reader: {where}: the block is not closed")


def strict_read(dat, per_list=False):
    """Reads the DAT as a strict ClrMamePro reader does; returns the games as
    (name, description, roms, rebuildto, disks, cloneof), each rom a dict of
    its values. A list's DAT has no rebuildto, and may link a clone to its
    parent (cloneof and romof, the same)."""
    stream = tokens(dat)
    games = []
    for kind, key in stream:
        if kind != "word" or next(stream, (None,))[0] != "(":
            fail(f"strict reader: a block expected after {len(games)} games, found {key!r}")
        pairs = block(stream, f"after game {len(games)}")
        if key == b"clrmamepro":
            continue
        if key != b"game":
            fail(f"strict reader: unknown block {key!r}")
        fields = {b"name": [], b"description": [], b"rebuildto": [], b"rom": [], b"disk": []}
        if per_list:
            fields.update({b"cloneof": [], b"romof": [], b"year": [], b"manufacturer": []})
            del fields[b"rebuildto"]
        for name, value in pairs:
            if name not in fields:
                fail(f"strict reader: game {len(games) + 1} holds {name!r}")
            fields[name].append(value)
        once = (b"name", b"description") if per_list else (b"name", b"description", b"rebuildto")
        if any(len(fields[k]) != 1 for k in once):
            fail(f"strict reader: game {len(games) + 1} lacks its name, description or rebuildto: {pairs!r}"[:300])
        if per_list and (fields[b"cloneof"] != fields[b"romof"] or
                         max(len(fields[k]) for k in (b"cloneof", b"year", b"manufacturer")) > 1):
            fail(f"strict reader: game {len(games) + 1} has cloneof {fields[b'cloneof']!r}, romof {fields[b'romof']!r}")
        roms = []
        for pairs_of_disk in fields[b"disk"]:
            if [k for k, _ in pairs_of_disk] != DISK_KEYS:
                fail(f"strict reader: game {len(games) + 1} has a disk with keys {pairs_of_disk!r}")
        for pairs_of_rom in fields[b"rom"]:
            keys = [k for k, _ in pairs_of_rom]
            rom = dict(pairs_of_rom)
            extra = {b"flags", b"merge"} if per_list else set()
            if keys[:1] != [b"name"] or len(set(keys)) != len(keys) or not set(keys[1:]) <= ROM_KEYS | extra \
                    or rom.get(b"flags", b"baddump") != b"baddump" or keys.index(b"merge") != 1 if b"merge" in keys else False:
                fail(f"strict reader: game {len(games) + 1} has a rom with keys {keys!r}")
            if b"size" in rom and not rom[b"size"].isdigit():
                fail(f"strict reader: game {len(games) + 1} has a rom size {rom[b'size']!r}")
            roms.append(rom)
        games.append((fields[b"name"][0], fields[b"description"][0], roms,
                       None if per_list else fields[b"rebuildto"][0], [dict(d) for d in fields[b"disk"]],
                       (fields.get(b"cloneof") or [None])[0], (fields.get(b"year") or [None])[0],
                       (fields.get(b"manufacturer") or [None])[0]))
    return games


def check_strictly(dat):
    """The strict reader's games against the text of the DAT's own lines."""
    games = strict_read(dat)
    lines = dat.split(b"\r\n")
    names = [l[8:-1] for l in lines if l.startswith(b'  name "')]
    titles = [l[15:-1] for l in lines if l.startswith(b'  description "')]
    rebuilds = [l[13:-1] for l in lines if l.startswith(b'  rebuildto "')]
    rom_lines = [l for l in lines if l.startswith(b"  rom ( ")]
    disk_lines = [l for l in lines if l.startswith(b"  disk ( ")]
    disks = [disk for game in games for disk in game[4]]
    if len(disks) != len(disk_lines):
        fail(f"strict reader: {len(disks)} disks, the DAT has {len(disk_lines)} disk lines")
    for disk, line in zip(disks, disk_lines):
        if b'  disk ( name "' + disk[b"name"] + b'" sha1 ' + disk[b"sha1"] + b" )" != line:
            fail(f"strict reader: disk reads {disk!r}, the DAT line is {line!r}")
    if not len(games) == len(names) == len(titles) == len(rebuilds):
        fail(f"strict reader: {len(games)} games, the DAT's lines hold {len(names)} blocks")
    roms = [rom for game in games for rom in game[2]]
    if len(roms) != len(rom_lines):
        fail(f"strict reader: {len(roms)} roms, the DAT has {len(rom_lines)} rom lines")
    for number, (game, name, title, rebuild) in enumerate(zip(games, names, titles, rebuilds), 1):
        if (game[0], game[1], game[3]) != (name, title, rebuild):
            fail(f"strict reader: game {number} reads {game[0]!r} {game[1]!r} {game[3]!r}")
        if not (title.startswith(rebuild + b"\\" + name + b"  [ ") and title.endswith(b" ]")):
            fail(f"strict reader: game {number}'s title {title!r} is not LIST\\NAME  [ TITLE ]")
    for rom, line in zip(roms, rom_lines):
        text = b"  rom ( name \"" + rom[b"name"] + b"\" " + b"".join(
            key + b" " + rom[key] + b" " for key in (b"size", b"crc", b"md5", b"sha1") if key in rom) + b")"
        if text != line:
            fail(f"strict reader: rom reads {text!r}, the DAT line is {line!r}")
    print(f"strict reader: {len(games)} games, {len(roms)} roms and {len(disks)} disks read whole")


def sets_from_xml(lists, names):
    """The lists parsed as XML: list name -> (description, sets), each set
    (name, title, parent, year, publisher, roms), each rom (name, size
    after the name, size, crc, md5, sha1, baddump) for a ROM with a name and
    a hash, its sizes grown by the nameless continue/ignore rows right after
    it; and how many ROMs have such rows. Attributes keep their order: a
    size before the name is no size after it."""
    lists_found, chunked = {}, 0
    for name in names:
        root = ElementTree.parse(os.path.join(lists, name)).getroot()
        sets = lists_found.setdefault(root.get("name"), (root.get("description"), []))[1]
        for software in root.iter("software"):
            text = {k: (software.find(k).text or "") if software.find(k) is not None else None
                    for k in ("description", "year", "publisher")}
            roms = []
            sets.append((software.get("name"), text["description"], software.get("cloneof"), text["year"],
                         text["publisher"], roms))
            for parent in software.iter():
                held = None
                for child in parent:
                    if child.tag == "rom" and child.get("name") and any(child.get(k) for k in ("crc", "sha1", "md5")):
                        keys, size = list(child.attrib), child.get("size")
                        after = size if size and keys.index("name") < keys.index("size") else None
                        held = [child.get("name"), int(after, 0) if after else None, int(size, 0) if size else None,
                                child.get("crc"), child.get("md5"), child.get("sha1"), child.get("status") == "baddump", 0]
                        roms.append(held)
                    elif (held and child.tag == "rom" and child.get("name") is None and child.get("size")
                          and child.get("loadflag") in ("continue", "ignore")):
                        chunked += held[1] is not None and held[7] == 0
                        held[7] += 1
                        for k in (1, 2):
                            held[k] = held[k] + int(child.get("size"), 0) if held[k] is not None else None
                    else:
                        held = None
    return lists_found, chunked


def check_rom_sizes(dat, expected, chunked):
    """Every rom line's name and size against the lists parsed as XML."""
    sizes = {(list_name.encode(), game[0].encode()): [(rom[0].encode(), rom[1]) for rom in game[5]]
             for list_name, (_, games) in expected.items() for game in games}
    roms = 0
    for name, _, rom_values, rebuildto, *_ in strict_read(dat):
        got = [(rom[b"name"], int(rom[b"size"]) if b"size" in rom else None) for rom in rom_values]
        if got != sizes.get((rebuildto, name)):
            fail(f"rom sizes of {rebuildto!r} {name!r}: the DAT has {got!r}, the XML {sizes.get((rebuildto, name))!r}")
        roms += len(got)
    print(f"rom sizes: all {roms} equal to the XML's, {chunked} of them grown by the rows loaded after them")


def text_of(value):
    """A value as the text form writes it: UTF-8, each double quote as ''."""
    return None if value is None else value.replace('"', "''").encode()


def encoded(value):
    return None if value is None else str(value).encode()


def merges_of(sets):
    """For each set of a list, the merge of each of its ROMs: a clone's ROM
    whose size, crc and sha1 equal those of a ROM of its parent (the first
    set of that name, not the clone itself) gets the first such ROM's name."""
    first = {}
    for index, s in enumerate(sets):
        first.setdefault(s[0], index)
    merges = []
    for index, s in enumerate(sets):
        parent = first.get(s[2]) if s[2] is not None else None
        parent_roms = sets[parent][5] if parent is not None and parent != index else []
        merges.append([next((p[0] for p in parent_roms if None not in (r[2], r[3], r[5]) and
                             (p[2], p[3], p[5]) == (r[2], r[3], r[5])), None) for r in s[5]])
    return merges


# One set, the same from every source: (name, title, parent, year,
# manufacturer, [(name, size, crc, md5, sha1, status, merge)]), bytes as the
# text form writes them, None where absent.
def set_from_lists(s, merges):
    return tuple(text_of(v) for v in s[:5]) + (
        [(text_of(r[0]),) + tuple(encoded(v) for v in (r[2], r[3], r[4], r[5])) + (b"baddump" if r[6] else None,
                                                                                 text_of(merge))
         for r, merge in zip(s[5], merges)],)


def sets_from_lists(sets):
    return [set_from_lists(s, merges) for s, merges in zip(sets, merges_of(sets))]


def set_from_text(game):
    return (game[0], game[1], game[5], game[6], game[7],
            [tuple(rom.get(k) for k in (b"name", b"size", b"crc", b"md5", b"sha1", b"flags", b"merge"))
             for rom in game[2]])


def set_from_xml(game):
    text = [game.find(k).text or "" if game.find(k) is not None else None for k in ("description", "year", "manufacturer")]
    return (text_of(game.get("name")), text_of(text[0]), text_of(game.get("cloneof")), text_of(text[1]),
            text_of(text[2]), [(text_of(rom.get("name")),) + tuple(encoded(rom.get(k)) for k in
                                                                     ("size", "crc", "md5", "sha1", "status")) +
                               (text_of(rom.get("merge")),) for rom in game.iter("rom")])


def first_difference(where, ours, theirs):
    """Fails at the first set that differs."""
    if ours != theirs:
        first = next(i for i, (a, b) in enumerate(zip(ours + [None], theirs + [None])) if a != b)
        fail(f"{where}: set {first} reads {(ours + [None])[first]!r}, expected {(theirs + [None])[first]!r}"[:600])


def check_per_list(tool, work, names, concatenation, expected, client):
    """The --per-list run against the lists parsed as XML: every set with
    its title, parent, year, manufacturer and ROMs (every value decoded, each
    ROM's values wherever they stand, bad dumps flagged)."""
    run = subprocess.run([tool, "--per-list", "out"], cwd=work, capture_output=True)
    if run.returncode != 0:
        fail(f"--per-list: exit status {run.returncode}; stderr: {run.stderr.decode(errors='replace')}")
    wanted = f"\nConverted {lines_of(concatenation)} XML lines into {len(names)} DAT files in out\n".encode()
    if not run.stdout.endswith(wanted) or run.stderr:
        fail(f"--per-list: the summary or stderr is off: {run.stdout[-120:]!r} {run.stderr[:200]!r}")
    dats = sorted(os.listdir(os.path.join(work, "out")))
    if dats != sorted(list_name + ".dat" for list_name in expected) or len(dats) != len(names):
        fail(f"--per-list: {len(dats)} DATs, for {len(expected)} lists in the XML")
    games = roms = clones = years = merges = 0
    paths = []
    for dat_name in dats:
        path = os.path.join(work, "out", dat_name)
        paths.append(path)
        with open(path, "rb") as f:
            dat = f.read()
        description, sets = expected[dat_name[:-4]]
        header = dat.split(b"\r\n")[1:3]
        if header != [b'\tname "' + dat_name[:-4].encode() + b'"', b'\tdescription "' + text_of(description) + b'"']:
            fail(f"--per-list: {dat_name}'s header reads {header!r}")
        ours = [set_from_text(game) for game in strict_read(dat, per_list=True)]
        if len({game[0] for game in ours}) != len(ours):
            fail(f"--per-list: {dat_name} holds a name twice")
        first_difference(f"--per-list: {dat_name}", ours, sets_from_lists(sets))
        merges += sum(rom[6] is not None for game in ours for rom in game[5])
        games += len(ours)
        roms += sum(len(game[5]) for game in ours)
        clones += sum(game[2] is not None for game in ours)
        years += sum(game[3] is not None for game in ours)
    print(f"--per-list: {len(dats)} DATs, {games} games, {roms} roms, {clones} cloneof lines, {years} years, "
          f"{merges} merges: each read whole, names unique, every set, title, parent, year, manufacturer, rom and "
          f"merge as the XML has it (a merge where a clone's ROM equals a parent's ROM by size, crc and sha1)")
    if client is not None and shutil.which("node") is not None:
        check = subprocess.run(["node", os.path.join(client, "check.js")] + paths, capture_output=True)
        sys.stdout.write(check.stdout.decode(errors="replace"))
        if check.returncode != 0:
            fail("--per-list: the DAT client disagrees: " + check.stderr.decode(errors="replace"))
    check_xml_per_list(tool, work, names, expected)


# The Logiqx datafile DTD's content models and attributes, for the elements
# the list DATs write.
DTD_CHILDREN = {
    "datafile": "header? game+",
    "header": "name description category? version date? author email? homepage? url? comment? clrmamepro? romcenter?",
    "game": "comment* description year? manufacturer? release* biosset* rom* disk* sample* archive*",
}
DTD_CHILDREN = {tag: re.sub(r"(\w+)", r"(<\1>)", model).replace(" ", "") for tag, model in DTD_CHILDREN.items()}
DTD_ATTRIBUTES = {
    "game": ({"name"}, {"name", "sourcefile", "isbios", "cloneof", "romof", "sampleof", "board", "rebuildto"}),
    "rom": ({"name", "size"}, {"name", "size", "crc", "sha1", "md5", "merge", "status", "date"}),
    "disk": ({"name"}, {"name", "sha1", "md5", "merge", "status"}),
}
DTD_TEXT = {"name", "description", "category", "version", "author", "year", "manufacturer"}
DOCTYPE_LINE = (b'<!DOCTYPE datafile PUBLIC "-//Logiqx//DTD ROM Management Datafile//EN" '
                b'"http://www.logiqx.com/Dats/datafile.dtd">')


def dtd_problem(element):
    """Why the element breaks the Logiqx DTD, or None."""
    children = "".join(f"<{child.tag}>" for child in element)
    if element.tag in DTD_CHILDREN:
        if not re.fullmatch(DTD_CHILDREN[element.tag], children):
            return f"<{element.tag}> holds {children}"
    elif element.tag in DTD_TEXT or element.tag in DTD_ATTRIBUTES:
        if children:
            return f"<{element.tag}> holds elements"
    else:
        return f"<{element.tag}> is not written by this tool"
    required, allowed = DTD_ATTRIBUTES.get(element.tag, (set(), set()))
    if not required <= set(element.attrib) or not set(element.attrib) <= allowed or \
            element.get("status", "good") not in ("baddump", "nodump", "good", "verified"):
        return f"<{element.tag}> has attributes {element.attrib}"
    return next((problem for child in element if (problem := dtd_problem(child))), None)


def check_xml_per_list(tool, work, names, expected, disks=False):
    """--per-list --xml: every DAT read whole by a strict XML parser, valid
    against the Logiqx DTD (with --disks too, where a set's disks follow its
    roms), with the same sets, titles, parents, years, manufacturers, ROMs
    and merges as the text form (both as the lists say)."""
    run = subprocess.run([tool, "--per-list", "xml", "--xml"] + (["--disks"] if disks else []), cwd=work,
                         capture_output=True)
    if run.returncode != 0 or run.stderr:
        fail(f"--per-list --xml: exit status {run.returncode}; stderr: {run.stderr.decode(errors='replace')}")
    dats = sorted(os.listdir(os.path.join(work, "xml")))
    if [d[:-4] for d in dats] != sorted(expected) or len(dats) != len(names):
        fail(f"--per-list --xml: {len(dats)} DATs, for {len(expected)} lists in the XML")
    games = merges = disk_count = 0
    for dat_name in dats:
        with open(os.path.join(work, "xml", dat_name), "rb") as f:
            data = f.read()
        if data.split(b"\r\n")[1] != DOCTYPE_LINE:
            fail(f"--per-list --xml: {dat_name} has no Logiqx DOCTYPE line")
        root = ElementTree.fromstring(data)
        problem = dtd_problem(root)
        if problem:
            fail(f"--per-list --xml: {dat_name} breaks the DTD: {problem}")
        ours = [set_from_xml(game) for game in root.iter("game")]
        first_difference(f"--per-list --xml: {dat_name}", ours, sets_from_lists(expected[dat_name[:-4]][1]))
        games += len(ours)
        merges += sum(rom[6] is not None for game in ours for rom in game[5])
        disk_count += sum(1 for _ in root.iter("disk"))
    print(f"--per-list --xml{' --disks' if disks else ''}: {len(dats)} DATs, {games} games, {disk_count} disks, "
          f"{merges} merges: each read whole by a strict XML parser, valid against the Logiqx DTD, the same sets, "
          f"titles, parents, years, manufacturers, roms and merges as the text form")


def main():
    arguments = sys.argv[1:]
    disks = "--disks" in arguments
    arguments = [a for a in arguments if a != "--disks"]
    tool, lists = os.path.abspath(arguments[0]), arguments[1]
    client = arguments[2] if len(arguments) > 2 else None
    names = sorted(n for n in os.listdir(lists) if n.lower().endswith(".xml"))
    if len(names) < 600:
        fail(f"only {len(names)} lists found in {lists}")
    with tempfile.TemporaryDirectory(prefix="softlist2dat-collection-") as work:
        parts = []
        for name in names:
            shutil.copyfile(os.path.join(lists, name), os.path.join(work, name))
            with open(os.path.join(lists, name), "rb") as f:
                parts.append(f.read())
        concatenation = b"".join(parts)
        longest = max(len(line) for line in concatenation.split(b"\n"))
        if longest >= 2047:
            fail("a line of 2047 bytes or more: the line count would not be comparable")

        run = subprocess.run([tool] + (["--disks"] if disks else []), cwd=work, capture_output=True)
        if run.returncode != 0:
            fail(f"exit status {run.returncode}; stderr: {run.stderr.decode(errors='replace')}")
        expected_lines = lines_of(concatenation)
        summary = re.search(rb"\nSuccesfully parsed (\d+) XML lines and created one large\.dat file called\n"
                            rb"all_mess_software_lists\.dat\n$", run.stdout)
        if not summary:
            fail("no summary at the end of stdout")
        if int(summary.group(1)) != expected_lines:
            fail(f"summary counts {summary.group(1).decode()} lines, the files hold {expected_lines}")
        if run.stdout.count(b"\n") != len(names) + 5 or f"\n{len(names)} file(s) copied.\n".encode() not in run.stdout:
            fail("stdout does not list every file once")
        leftovers = sorted(set(os.listdir(work)) - set(names))
        if leftovers != ["all_mess_software_lists.dat"]:
            fail(f"files left besides the lists: {leftovers}")

        dat_path = os.path.join(work, "all_mess_software_lists.dat")
        with open(dat_path, "rb") as f:
            dat = f.read()
        games, roms, disk_lines = check_shapes(dat)
        expected_games = descriptions_outside_comments(concatenation)
        if games != expected_games:
            fail(f"{games} game blocks, {expected_games} description lines outside comments")
        expected_disks = disks_outside_comments(concatenation) if disks else 0
        if disk_lines != expected_disks:
            fail(f"{disk_lines} disk lines, {expected_disks} disk lines with a sha1 outside comments")
        print(f"{len(names)} lists{' with --disks' if disks else ''}, {expected_lines} lines, {games} games, "
              f"{roms} rom lines, {disk_lines} disk lines, {len(dat)} DAT bytes: all lines well formed")
        check_strictly(dat)
        expected, chunked = sets_from_xml(lists, names)
        check_rom_sizes(dat, expected, chunked)
        if not disks:
            check_per_list(tool, work, names, concatenation, expected, client)
        else:
            check_xml_per_list(tool, work, names, expected, disks=True)

        if client is None:
            return
        if shutil.which("node") is None:
            print("NOTICE: node not installed; the DAT client check did not run")
            return
        check = subprocess.run(["node", os.path.join(client, "check.js"), dat_path], capture_output=True)
        sys.stdout.write(check.stdout.decode(errors="replace"))
        if check.returncode != 0:
            fail("the DAT client disagrees: " + check.stderr.decode(errors="replace"))


if __name__ == "__main__":
    main()
