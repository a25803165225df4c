#!/usr/bin/env python3
"""Runs softlist2dat on MAME's whole software-list collection and checks the
result by means that share nothing with the tool's scanner:

- exit status 0 and the summary's line count equal to the line count of the
  concatenated files;
- one game block per description line that opens its line outside a comment;
- every DAT line has one of the shapes the writer produces, ending in CR LF;
- an independent ClrMamePro DAT parser (npm robloach-datfile) reads the same
  games and roms (skipped with a notice when node is not installed).

Usage: collection_test.py TOOL LISTS_DIR [CLIENT_DIR]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

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
    re.compile(rb'  description "[^"\r\n\\]*\\[^"\r\n]*  \[ [^\r\n]* \]"'),
    re.compile(rb'  rom \( name "[^"\r\n]*" (size [^ \r\n"]+ )?(crc [^ \r\n"]+ )?(md5 [^ \r\n"]+ )?(sha1 [^ \r\n"]+ )?\)'),
    re.compile(rb'  rebuildto "[^"\r\n]*"'),
]


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def lines_of(data):
    """Line count as a text reader sees it: a last line without LF counts."""
    return data.count(b"\n") + (1 if data and not data.endswith(b"\n") else 0)


def descriptions_outside_comments(data):
    """Counts lines that open with <description> and are not inside <!-- -->.
    A comment starts where a line opens with <!-- and ends at the first -->
    after that opener."""
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
        if rest.startswith(b"<description>"):
            count += 1
    return count


def check_shapes(dat):
    if not dat.endswith(b"\r\n"):
        fail("the DAT does not end in CR LF")
    body = dat[:-2]
    if re.search(rb"(?<!\r)\n", dat) or re.search(rb"\r(?!\n)", dat):
        fail("the DAT holds a bare LF or a bare CR")
    games = roms = 0
    for number, line in enumerate(body.split(b"\r\n"), 1):
        if number <= 7:
            if not SHAPES[number - 1].fullmatch(line):
                fail(f"header line {number} reads {line!r}")
            continue
        if not any(shape.fullmatch(line) for shape in SHAPES[5:]):
            fail(f"DAT line {number} has no known shape: {line!r}")
        games += line == b"game ("
        roms += line.startswith(b"  rom ( ")
    return games, roms


def main():
    tool, lists = os.path.abspath(sys.argv[1]), sys.argv[2]
    client = sys.argv[3] if len(sys.argv) > 3 else None
    names = sorted(n for n in os.listdir(lists) if n.lower().endswith(".xml"))
    if len(names) < 600:
        fail(f"only {len(names)} lists found in {lists}")
    with tempfile.TemporaryDirectory(prefix="softlist2dat-collection-") as work:
        concatenation = b""
        for name in names:
            shutil.copyfile(os.path.join(lists, name), os.path.join(work, name))
            with open(os.path.join(lists, name), "rb") as f:
                concatenation += f.read()
        longest = max(len(line) for line in concatenation.split(b"\n"))
        if longest >= 2047:
            fail("a line of 2047 bytes or more: the line count would not be comparable")

        run = subprocess.run([tool], cwd=work, capture_output=True)
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
        games, roms = check_shapes(dat)
        expected_games = descriptions_outside_comments(concatenation)
        if games != expected_games:
            fail(f"{games} game blocks, {expected_games} description lines outside comments")
        print(f"{len(names)} lists, {expected_lines} lines, {games} games, {roms} rom lines, "
              f"{len(dat)} DAT bytes: all lines well formed")

        if client is None:
            return
        if shutil.which("node") is None:
            print("NOTICE: node not installed; the DAT client check did not run")
            return
        report = os.path.abspath("dat_client_unreadable.txt")
        check = subprocess.run(["node", os.path.join(client, "check.js"), dat_path, report], capture_output=True)
        sys.stdout.write(check.stdout.decode(errors="replace"))
        if check.returncode != 0:
            fail("the DAT client disagrees: " + check.stderr.decode(errors="replace"))


if __name__ == "__main__":
    main()
