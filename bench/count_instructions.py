#!/usr/bin/env python3
"""Instructions of whole runs on MAME's software lists, two builds side by side.

Counts, with valgrind's callgrind (both threads, the whole process), the
instructions one run of softlist2dat executes on the collection, for the
build of this tree and for the build of another commit (by default the one
before the DAT writers became one seam), in each mode asked for. Instruction
counts do not move with the machine's load, unlike the wall time.

Usage: bench/count_instructions.py [--against COMMIT] [--modes combined,per-list,per-list-xml]
"""
import argparse
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BEFORE_THE_SEAM = "d8a5af7"
MODES = {
    "combined": [],
    "disks": ["--disks"],
    "per-list": ["--per-list", "dats"],
    "per-list-xml": ["--per-list", "dats", "--xml"],
}
# The most instructions a run of this tree may take, in millions: the list
# DATs at most 1.25 times (text) and 1.4 times (XML) what the combined run
# took before, the combined run no more than it took then.
TARGETS = {"combined": 630, "disks": 630, "per-list": 790, "per-list-xml": 880}


def build(source, build_dir):
    subprocess.run(["cmake", "-S", source, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release", "-DSOFTLIST2DAT_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j", str(os.cpu_count() or 2), "--target", "softlist2dat"],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "softlist2dat")


def build_commit(commit):
    """The tool built from `commit`, in a worktree under build/."""
    sha = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", commit], check=True, capture_output=True,
                         text=True).stdout.strip()
    tree = os.path.join(ROOT, "build", "against-" + sha)
    if not os.path.isdir(os.path.join(tree, "src")):
        subprocess.run(["git", "-C", ROOT, "worktree", "add", "--force", "--detach", tree, sha], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return sha, build(tree, os.path.join(tree, "build"))


def instructions(tool, arguments, lists):
    """The instructions of one run in a scratch working directory."""
    with tempfile.TemporaryDirectory(prefix="softlist2dat-count-") as work:
        out = os.path.join(work, "callgrind.out")
        subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out, tool] + arguments + [lists],
                       cwd=work, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(out) as counts:
            for line in counts:
                if line.startswith("summary:"):
                    return int(line.split()[1])
    raise RuntimeError("no summary in callgrind's output")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--against", default=BEFORE_THE_SEAM, help="the commit to compare with")
    parser.add_argument("--modes", default="combined,per-list")
    options = parser.parse_args()
    lists = subprocess.run([os.path.join(ROOT, "tests", "collection", "fetch_lists.sh")], check=True,
                           capture_output=True, text=True).stdout.strip()
    here = build(ROOT, os.path.join(ROOT, "build", "bench-count"))
    sha, there = build_commit(options.against)
    print("instructions of one run on MAME's lists (callgrind, both threads), millions:")
    print("  %-14s %12s %12s %8s  %s" % ("mode", sha, "this tree", "change", "target"))
    over = False
    for mode in options.modes.split(","):
        arguments = MODES[mode]
        theirs = instructions(there, arguments, lists)
        ours = instructions(here, arguments, lists)
        target = TARGETS[mode]
        verdict = "met" if ours / 1e6 <= target else "OVER"
        over |= verdict == "OVER"
        print("  %-14s %12.1f %12.1f %+7.1f%%  at most %d: %s" %
              (mode, theirs / 1e6, ours / 1e6, 100.0 * (ours - theirs) / theirs, target, verdict))
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main())
