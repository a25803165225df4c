#!/usr/bin/env python3
"""Several runs of softlist2dat at once on MAME's software lists.

In each scenario RUNS runs start together, TIMES times over. Every run must
end with status 0 and print what a lone run prints (stderr at most the line
saying that it waited for its turn); afterwards every DAT must be
byte-identical to a lone run's, and nothing else may be left in the working
directories or in OUT.

  combined   the combined DAT, all runs in one directory holding the lists
  one-dir    --per-list out, all runs in that directory
  apart-new  --per-list ../out LISTS from a working directory each, into one
             OUT that does not exist when they start
  apart-old  the same, into the OUT the runs before wrote

Usage: runs_at_once.py TOOL [--runs 8] [--times 20] [--scenarios combined,...]
Exit status 0 when every run of every scenario passed.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DAT = "all_mess_software_lists.dat"
WAITING = "softlist2dat: waiting for another run in '"


def fetch_lists():
    fetch = os.path.join(ROOT, "tests", "collection", "fetch_lists.sh")
    return subprocess.run([fetch], check=True, capture_output=True, text=True).stdout.strip()


def start(tool, cwd, arguments):
    return subprocess.Popen([tool] + arguments, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def finish(process):
    out, err = process.communicate()
    return process.returncode, out, err.decode(errors="replace")


def dats_of(places, out):
    """The DAT files written: path -> bytes' file, for comparison."""
    if out is not None:
        return {name: os.path.join(out, name) for name in sorted(os.listdir(out))}
    return {DAT: os.path.join(places[0], DAT)}


class Scenario:
    def __init__(self, name, work, lists, runs):
        self.name = name
        self.work = os.path.join(work, name)
        os.mkdir(self.work)
        self.out = None
        self.left = {}
        if name in ("combined", "one-dir"):
            # One working directory holding the lists themselves.
            shutil.copytree(lists, os.path.join(self.work, "lists"),
                            ignore=lambda _, names: [n for n in names if not n.endswith(".xml")])
            self.places = [os.path.join(self.work, "lists")] * runs
            self.arguments = [] if name == "combined" else ["--per-list", "out"]
            listed = set(os.listdir(self.places[0]))
            self.left[self.places[0]] = listed | ({DAT} if name == "combined" else {"out"})
            if name == "one-dir":
                self.out = os.path.join(self.places[0], "out")
        else:
            self.places = []
            for i in range(runs):
                place = os.path.join(self.work, "w%d" % i)
                os.mkdir(place)
                self.places.append(place)
                self.left[place] = set()
            self.arguments = ["--per-list", "../out", lists]
            self.out = os.path.join(self.work, "out")

    def waiting_lines(self):
        return {WAITING + ".'"} | ({WAITING + self.arguments[1] + "'"} if self.out else set())

    def reset(self):
        if self.name == "apart-new" and self.out and os.path.isdir(self.out):
            shutil.rmtree(self.out)


def check(scenario, tool, runs, times, reference):
    """Runs the scenario; returns (problems, waits, seconds of each time)."""
    problems, waits, seconds = [], 0, []
    lone = finish(start(tool, scenario.places[0], scenario.arguments))
    if lone[0] != 0:
        return ["the lone run ended with status %d: %s" % (lone[0], lone[2])], 0, []
    wanted = {name: open(path, "rb").read() for name, path in dats_of(scenario.places, scenario.out).items()}
    if reference is not None and wanted != reference:
        problems.append("the lone run's DATs differ from the reference")
    for attempt in range(times):
        scenario.reset()
        began = time.perf_counter()
        processes = [start(tool, place, scenario.arguments) for place in scenario.places[:runs]]
        results = [finish(p) for p in processes]
        seconds.append(time.perf_counter() - began)
        where = "%s, time %d" % (scenario.name, attempt + 1)
        for i, (status, out, err) in enumerate(results):
            lines = err.splitlines()
            waits += len(lines)
            if status != 0 or out != lone[1] or not set(lines) <= scenario.waiting_lines():
                problems.append("%s, run %d: status %d, stderr %r" % (where, i + 1, status, err))
        written = dats_of(scenario.places, scenario.out)
        if sorted(written) != sorted(wanted):
            problems.append("%s: OUT holds %d files, %d DATs wanted" % (where, len(written), len(wanted)))
        for name, path in written.items():
            if name in wanted and open(path, "rb").read() != wanted[name]:
                problems.append("%s: %s differs from a lone run's" % (where, name))
        for place, left in scenario.left.items():
            if set(os.listdir(place)) != left:
                problems.append("%s: %s holds %s" % (where, place, sorted(set(os.listdir(place)) ^ left)))
    return problems, waits, seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("tool")
    parser.add_argument("--runs", type=int, default=8)
    parser.add_argument("--times", type=int, default=20)
    parser.add_argument("--scenarios", default="combined,one-dir,apart-new,apart-old")
    options = parser.parse_args()
    tool = os.path.abspath(options.tool)
    lists = fetch_lists()
    failed = False
    with tempfile.TemporaryDirectory(prefix="softlist2dat-at-once-") as work:
        list_dats = None
        for name in options.scenarios.split(","):
            scenario = Scenario(name, work, lists, options.runs)
            problems, waits, seconds = check(scenario, tool, options.runs, options.times,
                                             list_dats if name != "combined" else None)
            if name != "combined" and list_dats is None and not problems:
                list_dats = {n: open(p, "rb").read() for n, p in dats_of(scenario.places, scenario.out).items()}
            seconds.sort()
            print("%-10s %d runs at once, %d times: %s; %d waits; each time %.2f s (median), %.2f s at most" % (
                name, options.runs, options.times, "every run passed" if not problems else
                "%d problems" % len(problems), waits, seconds[len(seconds) // 2] if seconds else 0,
                seconds[-1] if seconds else 0))
            for problem in problems[:20]:
                print("  " + problem)
            failed |= bool(problems)
            shutil.rmtree(scenario.work)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
