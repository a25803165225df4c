#!/usr/bin/env python3
"""The lists as MAME dumps them: the list files turned into one dump (lists
in a shuffled order; without the DTD; one list alone), and the tool run on
the files and on each dump. With --per-list, in both forms, the dump gives
the same DATs as the files, apart from what MAME itself changes: hash
letters in lower case, no md5 (MAME keeps crc and sha1 only), and no line
for a ROM it gives no hash (a nodump ROM with a crc, an md5 alone); and,
the other way round, a line for a ROM whose line in the file puts its size
before its name (the scan leaves such a line out, MAME writes the name
first). The combined DAT of the dump has every set of the files' own. With a MAME
at hand, the dumps it makes itself likewise.

Usage: dump_test.py TOOL LISTS_DIR [--one LIST.xml] [--mame MAME]
(SOFTLIST2DAT_TOOL, where set, is the command that runs the tool instead:
a wrapper such as qemu-i386 and the binary.)
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
HASHES = [re.compile(rb'( (?:crc|sha1) )([0-9A-Za-z]+)'), re.compile(rb'( (?:crc|sha1)=")([^"]*)')]
MD5 = re.compile(rb' md5 [0-9A-Za-z]+| md5="[^"]*"')


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def run(tool, cwd, *arguments):
    result = subprocess.run([*tool, *arguments], cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return result.returncode, result.stderr


def make_dump(path, lists, *options):
    result = subprocess.run([sys.executable, os.path.join(HERE, "mame_dump.py"), *options, path, *lists],
                            stdout=subprocess.PIPE, check=True)
    return {tuple(line.split("\t")) for line in result.stdout.decode().splitlines()}


def size_first(lists):
    """(list, software, ROM) of each ROM line of the files that opens with
    its size and then names the ROM."""
    found, list_name, software = set(), None, None
    for path in lists:
        with open(path, "rb") as f:
            for line in f:
                line = line.strip()
                if m := re.match(rb'<softwarelist name="([^"]*)"', line):
                    list_name = m.group(1).decode()
                elif m := re.match(rb'<software name="([^"]*)"', line):
                    software = m.group(1).decode()
                elif m := re.match(rb'<rom size="[^"]*" name="([^"]*)"', line):
                    found.add((list_name, software, m.group(1).decode().replace("&amp;", "&")))
    return found


def lower_hashes(line):
    line = MD5.sub(b"", line)
    for pattern in HASHES:
        line = pattern.sub(lambda m: m.group(1) + m.group(2).lower(), line)
    return line


def text_value(value):
    return value.encode().replace(b'"', b"''")


def xml_value(value):
    return value.encode().replace(b"&", b"&amp;").replace(b"<", b"&lt;").replace(b">", b"&gt;").replace(b'"', b"&quot;")


def normalized(dat, dropped, xml):
    """The DAT's lines, hashes in lower case, the lines of `dropped` ROMs
    ((set, ROM) names as the form writes them) left out."""
    lines, game = [], None
    for line in dat.split(b"\n"):
        found = re.match(rb'\t<(?:game|machine) name="([^"]*)"' if xml else rb'  name "([^"]*)"', line)
        if found:
            game = found.group(1)
        rom = re.match(rb'\t\t<rom name="([^"]*)"' if xml else rb'  rom \( name "([^"]*)"', line)
        if rom and (game, rom.group(1)) in dropped:
            continue
        lines.append(lower_hashes(line))
    return lines


def compare_list_dats(tool, work, dump, dropped, lists, what, options=()):
    added = size_first(lists)
    for form in ([*options], ["--xml", *options]):
        xml = "--xml" in form
        files_dir, dump_dir = os.path.join(work, "files"), os.path.join(work, "dumped")
        for out in (files_dir, dump_dir):
            subprocess.run(["rm", "-rf", out], check=True)
        status = run(tool, work, "--per-list", files_dir, *form, *lists)
        dumped = run(tool, work, "--per-list", dump_dir, *form, dump)
        if status != dumped:
            fail(f"{what}{' --xml' if xml else ' (text)'}: the files end with {status}, the dump with {dumped}")
        names = sorted(os.listdir(files_dir))
        if sorted(os.listdir(dump_dir)) != names or not names:
            fail(f"{what}: the dump's DATs are not the files' ({len(os.listdir(dump_dir))} against {len(names)})")
        value = xml_value if xml else text_value
        for name in names:
            listed = name[:-len(".dat")]
            only = lambda roms: {(value(software), value(rom)) for list_name, software, rom in roms if list_name == listed}
            with open(os.path.join(files_dir, name), "rb") as f:
                want = normalized(f.read(), only(dropped), xml)
            with open(os.path.join(dump_dir, name), "rb") as f:
                got = normalized(f.read(), only(added), xml)
            if got != want:
                diff = next(i for i, (a, b) in enumerate(zip(got + [None], want + [None])) if a != b)
                fail(f"{what}{' --xml' if xml else ' (text)'}: {name} differs at line {diff + 1}: "
                     f"{got[diff] if diff < len(got) else None!r} against {want[diff] if diff < len(want) else None!r}")
    return len(names)


def sets_of(dat):
    """The (list, set) pairs of a combined DAT."""
    pairs, name = set(), None
    for line in dat.split(b"\n"):
        if line.startswith(b'  name "'):
            name = line[8:line.rindex(b'"')]
        elif line.startswith(b'  rebuildto "'):
            pairs.add((line[13:line.rindex(b'"')], name))
    return pairs


def listed_in(dump, lists_dir):
    """The list files of the lists a dump holds."""
    with open(dump, "rb") as f:
        names = re.findall(rb'\t<softwarelist name="([^"]*)"', f.read())
    return [os.path.join(lists_dir, name.decode() + ".xml") for name in names]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("lists_dir")
    parser.add_argument("--one", help="the list of the one-list dump (default: the first)")
    parser.add_argument("--mame", help="a MAME whose own dumps (-listsoftware; -getsoftlist ONE -nodtd) are checked too")
    args = parser.parse_args()
    tool = os.environ.get("SOFTLIST2DAT_TOOL", "").split() or [os.path.abspath(args.tool)]
    lists_dir = os.path.abspath(args.lists_dir)
    lists = sorted(os.path.join(lists_dir, n) for n in os.listdir(lists_dir)
                   if n.lower().endswith(".xml") and not n.startswith("."))
    one = [path for path in lists if os.path.basename(path) == (args.one or os.path.basename(lists[0]))]
    with tempfile.TemporaryDirectory() as work:
        dump = os.path.join(work, "lists.dump")
        dropped = make_dump(dump, lists, "--shuffle", "20261209")
        count = compare_list_dats(tool, work, dump, dropped, lists, "a dump of every list")
        # The combined DAT of the dump: every set of the files' own.
        run(tool, work, *lists)
        with open(os.path.join(work, "all_mess_software_lists.dat"), "rb") as f:
            want = sets_of(f.read())
        run(tool, work, dump)
        with open(os.path.join(work, "all_mess_software_lists.dat"), "rb") as f:
            got = sets_of(f.read())
        if got != want:
            fail(f"the combined DAT of the dump lacks {len(want - got)} sets and has {len(got - want)} others")
        dropped = make_dump(dump, lists, "--nodtd")
        compare_list_dats(tool, work, dump, dropped, lists, "a dump without its DTD")
        dropped = make_dump(dump, one)
        compare_list_dats(tool, work, dump, dropped, one, "a dump of one list, with --disks", ["--disks"])
        print(f"dumps: {count} list DATs in both forms as the files give them, {len(want)} sets in the combined DAT")
        if args.mame:
            for verb, options in ((["-listsoftware"], []), (["-getsoftlist", os.path.basename(one[0])[:-4], "-nodtd"], ["--disks"])):
                with open(dump, "wb") as f:
                    subprocess.run([args.mame, *verb], stdout=f, stderr=subprocess.DEVNULL, check=True)
                named = listed_in(dump, lists_dir)
                dropped = make_dump(os.path.join(work, "ours.dump"), named)
                count = compare_list_dats(tool, work, dump, dropped, named, "mame " + " ".join(verb), options)
                print(f"mame {' '.join(verb)}: {count} list DATs in both forms as the files give them")
    print("dump: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
