#!/usr/bin/env python3
"""Differential test: random software-list-like inputs, hostile ones among
them, converted by the tool (twice each) and by the plain model in
reference.py; the DAT bytes and the line count must agree exactly. One case
in three runs with --per-list (half of them with --xml), its inputs holding
several lists (names that cannot be a file among them), parent/clone links
(families whose ROMs and disks share hashes, under the same names or
others, the parent before or after its clones, missing or named twice),
years, publishers, dump statuses, ROM values before the name, start tags
over several lines, references and bytes that are not UTF-8: every list's
DAT, the lists skipped and the exit status must agree too. One case in four
gives a --dat-version.

Usage: differential_test.py TOOL [CASES] [SEED]
"""
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import xml.dom.minidom as xml_parser

import reference

FRAGMENTS = [
    b"<softwarelist", b"<software", b"<description>", b"</description>", b"<rom", b"</software>", b"</softwarelist>",
    b"<!--", b"-->", b"--", b"<", b"</", b">", b"/>", b" name=\"", b" name = \"", b"name", b" size=\"", b" siz",
    b" val", b" crc=\"", b" crc   =\"", b" crc     =\"", b" sha1=\"", b" md5=\"", b"=", b"\"", b"\"\"", b"&amp;",
    b"&apos;", b"&amp;apos;", b"&quot;", b"&", b"&am", b" ", b"  ", b"\t", b"\r", b"\r\n", b"\n", b"\0", b"\x1a",
    b"abc", b"0x1000", b"deadbeef", b"x.bin", b"Title", b"\xc3\xa9",
    b" crc=\"c1\"", b" sha1=\"s1\"", b" md5=\"m1\"", b" size=\"16\"", b"x.bin\" ", b"a&amp;b\"",
    b" size=\"0x1F\"", b" size=\"0X00ffffffffffffffff\"", b" size=\"0x10000000000000000\"", b" size=\"0x\"",
    b" size=\"0x1g\"", b" size=\"00x10\"", b" size=\" 0x10\"", b" size=\"0x0x1\"", b"0x", b"0X", b"fF",
    b"3.5\" disk", b"\"Going Home\"",
]


def random_line(rng):
    indent = rng.choice([b"", b" ", b"\t", b"\t\t", b" \t "])
    start = rng.choice([b"<softwarelist name=\"", b"<softwarelists>", b"<softwarelists", b"<software name=\"",
                        b"<description>", b"<rom name=\"",
                        b"</software>", b"<!--", b"-->", b"<rom  size=\"", b"<rom size=\"", b"", b"<year>",
                        b"<disk name=\"", b"<disk\tname=\"", b"<disk sha1=\"", b"<diskarea name=\"", b"<disk>",
                        b"<DISK name=\""])
    body = b"".join(rng.choice(FRAGMENTS) for _ in range(rng.randrange(0, 12)))
    return indent + start + body + rng.choice([b"\n", b"\r\n", b"\n", b""])


def chunk_row(rng):
    """A nameless row of the same file after a ROM, or a near miss."""
    size = rng.choice([b"0x100000", b"16", b"0X0f", b"9" * 19, b"1" * 20, b"0xffffffffffffffff", b"0x00" + b"f" * 16,
                       b"x", b""])
    flag = rng.choice([b"continue", b"ignore", b"continue", b"reload", b"fill", b"continu", b"continue\0x"])
    extra = rng.choice([b"", b"", b"", b' name="n"', b' crc="c"', b' sha1=""', b'> size="1"', b" loadflag=\"ignore\""])
    start = rng.choice([b"<rom ", b"<rom ", b"<rom\t", b"<romx ", b"<rom  "])
    return (rng.choice([b"", b"\t\t"]) + start + b"size=\"" + size + b"\" offset=\"0x4\" loadflag=\"" + flag + b"\"" +
            extra + rng.choice([b" />", b"/>", b""]) + rng.choice([b"\n", b"\r\n", b"\n", b""]))


def long_line_run(rng):
    """A line of or near a multiple of the piece length, at a varied offset
    from the blocks and pieces before it, then short lines and tags."""
    lead = b" " * rng.randrange(0, 128) + b"\n" if rng.random() < 0.7 else b""
    length = rng.choice([2047, 4094, 6141]) + rng.randrange(-2, 3)
    body = bytes(rng.choice(b" \tx<\"=") for _ in range(length))
    tail = [rng.choice([b"\n", b" \n", b" " * 9 + b"\n", b"\t</software>\n", b"</dataarea>\n",
                        b"<rom name=\"r\" size=\"1\" crc=\"c\" />\n", b"\r\n"]) for _ in range(rng.randrange(1, 6))]
    return [lead, body + rng.choice([b"\n", b"\r\n", b""])] + tail


def usual_rom_line(rng):
    """A ROM line of the usual layout, name size crc sha1 (md5 or a status now and then),
    often with one perturbation: a keyword or a stop letter inside a value,
    a value at or past the field's 255 bytes, an entity, a NUL, or the line
    cut at a field's edge."""
    values = [b"x.bin", b"16", b"1a2b3c4d", b"0123456789abcdef0123456789abcdef01234567"]
    kind = rng.randrange(8)
    field = rng.randrange(4)
    if kind == 0:
        values[field] += rng.choice([b"crc=", b"md5=", b"sha=", b"size=", b"sha1=\"", b"crc =x", b"status="])
    elif kind == 1:
        values[field] = values[field][:2] + rng.choice(b"irhms&\0").to_bytes(1, "big") + values[field][2:]
    elif kind == 2:
        values[field] = b"v" * rng.choice([254, 255, 256, 300])
    elif kind == 3:
        values[0] = rng.choice([b"a&amp;b", b"&apos;s", b"&am", b"&amp;" * 60])
    fields = [b" name=\"", b"\" size=\"", b"\" crc=\"", b"\" sha1=\""]
    line = b"<rom" + b"".join(f + v for f, v in zip(fields, values)) + b"\""
    if rng.random() < 0.3:
        line += rng.choice([b" md5=\"", b' status="baddump', b' offset="0" status  ="baddump" md5="']) + \
            rng.choice([b"m", b"", b"crc=\""]) + b"\""
    line += rng.choice([b" />", b"/>", b""])
    if kind == 4:   # cut at or next to a field's edge
        edges = [i for i in range(len(line)) if line[i:i + 1] in (b"\"", b"=", b" ")]
        line = line[:rng.choice(edges) + rng.randrange(-1, 2)]
    return rng.choice([b"\t\t", b"", b" "]) + line + rng.choice([b"\n", b"\r\n", b""])


LIST_NAMES = [b"a", b"b", b"A", b"", b"x y", b".h", b"con", b"COM1.x", b"n" * 201, b"ok_list-1.2", b"c\x01",
              b"lpt0", b"sn&amp;x"]


ENTITIES = [b"&amp;", b"&lt;", b"&gt;", b"&quot;", b"&apos;", b"&#233;", b"&#xE9;", b"&#x1F3AE;", b"&#0;", b"&#9;",
            b"&#10;", b"&#13;", b"&#xD800;", b"&#xFFFE;", b"&#x110000;", b"&#;", b"&#x;", b"&bogus;", b"&amp", b"&#65",
            b"\xff", b"\xc3", b"\xed\xa0\x80", b"\x01", b"\x00", b"\r", b"\t", b"\xef\xbf\xbe", b'"', b"<", b">",
            b"a" * 250 + b"&#x1F3AE;&apos;", b"b" * 1015 + b"&#233;&#233;&amp;"]


def set_details(rng):
    """Year, publisher and dump-status lines, and ROM values before the name."""
    text = b"".join(rng.choice(ENTITIES + [b"A", b"1990", b" "]) for _ in range(rng.randrange(0, 5)))
    return rng.choice([b"\t\t<year>" + text + b"</year>\n", b"<publisher>" + text + b"</publisher>\n", b"<year>1990",
                       b'<rom name="' + text + b'" size="4" crc="c" status="baddump"/>\n',
                       b'<rom size="0x10" crc="c" name="b' + text + b'" sha1="s"/>\n',
                       b'<rom loadflag="x" sha1="s" name="n" status="nodump"/>\n',
                       b'<disk name="d' + text + b'" sha1="s" status="baddump"/>\n',
                       b"<description>" + text + b"</description>\n",
                       b'<software name="n' + text + b'" cloneof="p' + text + b'">\n'])


def set_block(rng):
    """A set as the lists write it, its lines shuffled now and then: software,
    description, year, publisher, ROMs and a disk, the closing line."""
    lines = [b'\t<software name="s&amp;' + rng.choice(ENTITIES) + b'" cloneof="p">\n',
             b"\t\t<description>T " + rng.choice(ENTITIES) + b"</description>\n",
             b"\t\t<year>19" + rng.choice(ENTITIES) + b"</year>\n",
             b"\t\t<publisher>P " + rng.choice(ENTITIES) + b"</publisher>\n"] + \
        [set_details(rng) for _ in range(rng.randrange(0, 3))] + \
        [b'\t\t<rom name="r' + rng.choice(ENTITIES) + b'" size="0x10" crc="c" sha1="s" status="baddump"/>\n',
         b'\t\t<disk name="d" sha1="s"/>\n', b"\t</software>\n"]
    if rng.random() < 0.4:
        rng.shuffle(lines)
    return b"".join(lines)


def split_tag(rng, tag):
    """A start tag over several lines: cut at blanks, each cut starting a new
    line (indented or not), now and then over more lines than may continue
    it, or with a line opening with '<' among them."""
    words = tag.split(b" ")
    lines, line = [], words[0]
    for word in words[1:]:
        if rng.random() < 0.5:
            lines.append(line)
            line = rng.choice([b"", b"\t\t", b"  "]) + word
        else:
            line += b" " + word
    lines.append(line)
    if rng.random() < 0.1:
        lines[1:1] = [b"   "] * rng.choice([14, 15, 16, 17])
    if rng.random() < 0.1:
        lines.insert(rng.randrange(1, len(lines) + 1), rng.choice([b"<rom name=\"x\" crc=\"9\"/>", b"<!-- -->"]))
    return b"".join(l + rng.choice([b"\n", b"\r\n"]) for l in lines)


FAMILY_ROMS = [b'<rom name="a.bin" size="16" crc="11" sha1="aa"/>', b'<rom name="b.bin" size="0x10" crc="11" sha1="aa"/>',
               b'<rom name="c&amp;.bin" size="16" crc="22" sha1="bb"/>', b'<rom name="a.bin" size="16" crc="33" sha1="cc"/>',
               b'<rom name="d.bin" size="16" crc="11" sha1="aa" status="baddump"/>',
               b'<rom name="e.bin" size="8" crc="11" sha1="aa"/>', b'<rom name="f.bin" crc="11" sha1="aa"/>',
               b'<rom size="16" name="g.bin" crc="11" sha1="aa"/>', b'<rom name="h.bin" size="16" crc="11"/>',
               b'<disk name="d1" sha1="dd"/>', b'<disk name="d2" sha1="dd"/>', b'<disk name="d3" sha1="ee"/>',
               b'<rom name="u.bin" size="16" crc="1A" sha1="AA"/>', b'<rom name="l.bin" size="16" crc="1a" sha1="aA"/>',
               b'<rom name="" size="16" crc="11" sha1="aa"/>', b'<disk name="d4" sha1="DD"/>']


def family(rng):
    """A parent and its clones in one list, their ROMs and disks sharing
    values: the parent before or after them, missing, or named twice; a
    clone naming itself; start tags now and then over several lines."""
    names = [b"p", b"c1", b"c2"]
    order = rng.sample(names, 3) if rng.random() < 0.5 else names
    sets = []
    for name in order + ([b"p"] if rng.random() < 0.2 else []):
        if name == b"p" and rng.random() < 0.1:
            continue
        parent = b"" if name == b"p" else rng.choice([b' cloneof="p"'] * 4 + [b' cloneof="' + name + b'"', b""])
        roms = rng.sample(FAMILY_ROMS, rng.randrange(0, 5))
        body = b"".join(split_tag(rng, rom) if rng.random() < 0.2 else b"\t\t" + rom + b"\n" for rom in roms)
        sets.append(b'\t<software name="' + name + b'"' + parent + b'>\n\t\t<description>' + name +
                    b"</description>\n" + body + b"\t</software>\n")
    return b"".join(sets)


def per_list_line(rng):
    """A list line (names that cannot be a file among them, with or without a
    description) or a software line with a parent link, some taken out."""
    if rng.random() < 0.3:
        return set_details(rng)
    if rng.random() < 0.4:
        name = rng.choice(LIST_NAMES)
        description = rng.choice([b"", b' description="D"', b' description="A &amp; B&apos;s &quot;&#233;"',
                                  b' description=""', b'> description="after the tag"'])
        return b"<softwarelist name=\"" + name + b"\"" + description + b">\n"
    link = rng.choice([b' cloneof="p"', b' cloneof=""', b' supported="no"> <!-- cloneof="p"> -->', b'>cloneof="q"',
                       b' cloneof="' + b"q" * 300 + b'"', b"", b' supported="no" cloneof="p"', b'>y" cloneof="p"',
                       b' cloneof="p\x00q"'])
    description = b"\t\t<description>T \"q\"</description>\n" if rng.random() < 0.6 else b""
    # Names the usual software line's reading leaves to the general search: a NUL, a keyword and '='.
    name = rng.choice([b"p", b"c", b"d", b"c\x00x", b"cloneof=q", b"cloneof"])
    return b"\t<software name=\"" + name + b"\"" + link + b">\n" + description


def random_input(rng, per_list=False):
    if per_list:
        lines = [per_list_line(rng) if rng.random() < 0.35 else random_line(rng) for _ in range(rng.randrange(1, 40))]
        lines[rng.randrange(len(lines) + 1):0] = [usual_rom_line(rng), usual_rom_line(rng), chunk_row(rng)]
        for _ in range(rng.randrange(0, 4)):
            lines.insert(rng.randrange(len(lines) + 1), set_block(rng))
        for _ in range(rng.randrange(0, 3)):
            lines.insert(rng.randrange(len(lines) + 1), b'<softwarelist name="f">\n' + family(rng))
        return b"".join(lines)
    lines = []
    for _ in range(rng.randrange(1, 40)):
        choice = rng.random()
        lines.append(random_line(rng) if choice < 0.7 else usual_rom_line(rng) if choice < 0.9 else chunk_row(rng))
        if choice >= 0.7 and rng.random() < 0.4:   # chunk rows right after a ROM, or after a chunk row
            lines.append(chunk_row(rng))
    if rng.random() < 0.15:   # a line longer than a piece
        at = rng.randrange(len(lines))
        lines[at] = bytes(rng.choice(b"x <\"=-") for _ in range(rng.randrange(2000, 5000))) + lines[at]
    if rng.random() < 0.25:   # lines of and near the piece length, then short lines and tags
        lines[rng.randrange(len(lines) + 1):0] = long_line_run(rng)
    if rng.random() < 0.1:    # a value longer than its field
        lines.append(b"<rom name=\"" + b"n" * rng.randrange(250, 300) + b"\" crc=\"" + b"c" * rng.randrange(250, 300) +
                     b"\"\n")
        lines.append(b"<description>" + b"&amp;" * rng.randrange(200, 260) + b"</description>\n")
    if rng.random() < 0.1:    # a hex size cut by its field
        lines.append(b"<rom name=\"h\" size=\"0x" + b"0" * rng.randrange(240, 260) + b"1f\" crc=\"1\"\n")
    if rng.random() < 0.2:    # a start tag over several lines, then chunk rows
        lines.append(split_tag(rng, rng.choice([b'<rom name="t" size="16" crc="1" sha1="2" md5="3"/>',
                                                b'<rom name="t" size="0x10" crc="1" status="baddump" />',
                                                b'<disk name="d" sha1="5" />', b'<rom name="u" size="4" offset="0"',
                                                b'<rom name="v" size="4" crc="1" sha1="2" /> <x'])))
        if rng.random() < 0.5:
            lines.append(chunk_row(rng))
    return b"".join(lines)


def clear(work):
    for name in os.listdir(work):
        path = os.path.join(work, name)
        if os.path.isdir(path):
            shutil.rmtree(path)
        else:
            os.unlink(path)


def run_per_list(tool, data, work, disks, xml, version):
    """The tool's DATs by list name, its line count, stderr lines and status."""
    clear(work)
    with open(os.path.join(work, "case.xml"), "wb") as f:
        f.write(data)
    run = subprocess.run([tool, "--per-list", "out"] + (["--disks"] if disks else []) + (["--xml"] if xml else []) +
                         ([b"--dat-version", version] if version else []), cwd=work, capture_output=True)
    count = re.search(rb"Converted (\d+) XML lines into \d+ DAT files in out", run.stdout)
    dats = {}
    for name in sorted(os.listdir(os.path.join(work, "out"))):
        with open(os.path.join(work, "out", name), "rb") as f:
            dats[name[:-4].encode()] = f.read()
    return dats, int(count.group(1)) if count else 0, run.stderr.splitlines(), run.returncode


def run_tool(tool, data, work, disks, version):
    clear(work)
    with open(os.path.join(work, "case.xml"), "wb") as f:
        f.write(data)
    run = subprocess.run([tool] + (["--disks"] if disks else []) + ([b"--dat-version", version] if version else []),
                         cwd=work, capture_output=True)
    count = re.search(rb"Succesfully parsed (\d+) XML lines", run.stdout)
    lines = int(count.group(1)) if count else 0
    with open(os.path.join(work, "all_mess_software_lists.dat"), "rb") as f:
        return f.read(), lines, run.returncode


def fail(number, data, how, what):
    """Keeps the input of a case where tool and model differ, says so, stops."""
    failed = os.path.abspath(f"differential-case-{number}.xml")
    with open(failed, "wb") as f:
        f.write(data)
    print(f"FAIL: case {number} ({how}) differs: {what}; input kept in {failed}")
    sys.exit(1)


def main():
    tool = os.path.abspath(sys.argv[1])
    cases = int(sys.argv[2]) if len(sys.argv) > 2 else 1500
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 20261207
    rng = random.Random(seed)
    merges = 0
    with tempfile.TemporaryDirectory(prefix="softlist2dat-differential-") as work:
        for number in range(cases):
            per_list = number % 3 == 2
            data = random_input(rng, per_list)
            disks = rng.random() < 0.5
            version = rng.choice([b"0.251", b'1 "&<x>\'', b"v" * 64, b"\xc3\xa9 \xff"]) if rng.random() < 0.25 else b""
            if per_list:
                xml = rng.random() < 0.5
                want = reference.convert_per_list(data, disks, xml, version)
                got = run_per_list(tool, data, work, disks, xml, version)
                merges += sum(dat.count(b" merge") for dat in got[0].values())
                if (got[0], got[1], got[2]) != (dict(sorted(want[0].items())), want[1], want[2]) or \
                        got[3] != (3 if want[2] else 0):
                    fail(number, data, f"seed {seed}, --per-list{', --xml' if xml else ''}{', --disks' if disks else ''}",
                         f"status {got[3]}, lines {got[1]} vs {want[1]}, lists {sorted(got[0])} vs "
                         f"{sorted(want[0])}, stderr {got[2]} vs {want[2]}")
                for name, dat in got[0].items() if xml else ():
                    try:   # well-formed for any input
                        xml_parser.parseString(dat)
                    except Exception as error:
                        fail(number, data, f"seed {seed}, --per-list --xml", f"{name!r} is not well-formed: {error}")
                continue
            want_dat, want_lines = reference.convert(data, disks, version)
            # Twice: the copy runs beside the scan, so a fault that depends
            # on how far the copy has got shows only now and then.
            for _ in range(2):
                dat, lines, status = run_tool(tool, data, work, disks, version)
                if status == 0 and dat == want_dat and lines == want_lines:
                    continue
                fail(number, data, f"seed {seed}{', --disks' if disks else ''}",
                     f"status {status}, lines {lines} vs {want_lines}, DAT {'equal' if dat == want_dat else 'differs'}")
    print(f"differential: {cases} generated inputs ({merges} merges in the list DATs), tool and model agree byte for byte")


if __name__ == "__main__":
    main()
