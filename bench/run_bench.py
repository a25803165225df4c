#!/usr/bin/env python3
"""softlist2dat benchmark on MAME's software-list collection.

Builds the tool with optimisation, then prints, from one run:
  1. the baseline's and the tool's median wall time on the collection, and
     their ratio (baseline: cat *.xml > t.tmp; cat t.tmp > /dev/null; rm t.tmp);
  2. the scaling table on 1x, 4x and 16x copies of the collection (the files
     repeated under new names): time, MB/s and peak resident memory;
  3. the scan's throughput alone (Google Benchmark, input and output in memory),
     with the writer the tool ran with.

With --per-list the tool runs as "softlist2dat --per-list dats" (one DAT per
list; each copy of the collection then names its lists apart, c00_LIST...),
and its baseline is bench/list_floor.cpp: the same reads and replacements of
the DATs in dats/, without the scan. With --per-list --xml the list DATs are
written in Logiqx XML (the same floor).

With --beside BINARY another build of the tool (say, one of an earlier
commit) runs after each run of this one on the collection at 1x, and its
median and ratio are printed beside: a comparison in the same minutes.

Usage: bench/run_bench.py [--runs N] [--sizes 1,4,16] [--per-list [--xml]] [--beside BINARY]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "bench")


def build():
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release", "-DSOFTLIST2DAT_BENCH=ON",
                    "-DSOFTLIST2DAT_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j", str(os.cpu_count() or 2)], check=True,
                   stdout=subprocess.DEVNULL)
    return (os.path.join(BUILD, "softlist2dat"), os.path.join(BUILD, "bench", "scan_bench"),
            os.path.join(BUILD, "bench", "rss_probe"), os.path.join(BUILD, "bench", "list_floor"))


def fetch_lists():
    fetch = os.path.join(ROOT, "tests", "collection", "fetch_lists.sh")
    return subprocess.run([fetch], check=True, capture_output=True, text=True).stdout.strip()


def cpu_model():
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "unknown processor"


def timed(argv, cwd, cpu=None):
    """Wall time in seconds of one process; its user and system seconds are
    appended to `cpu` when given."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{argv[0]} failed in {cwd}")
    if cpu is not None:
        cpu.append((usage.ru_utime, usage.ru_stime))
    return elapsed


def peak_memory(probe, tool, cwd):
    """Peak resident memory in KiB of one run of the tool (a command list)."""
    result = subprocess.run([probe] + tool, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                            check=True)
    peak, status = (int(word) for word in result.stderr.splitlines()[-1].split())
    if status != 0:
        sys.exit(f"{tool[0]} failed in {cwd}")
    return peak


def make_copies(lists, work, factor, rename_lists=False):
    """A directory holding the collection `factor` times, under new names
    (with `rename_lists`, each copy's lists named apart too)."""
    directory = os.path.join(work, f"x{factor}")
    os.mkdir(directory)
    names = sorted(n for n in os.listdir(lists) if n.endswith(".xml"))
    size = 0
    for copy in range(factor):
        for name in names:
            source = os.path.join(lists, name)
            target = os.path.join(directory, f"c{copy:02d}_{name}")
            if rename_lists:
                with open(source, "rb") as f:
                    data = f.read().replace(b'<softwarelist name="', f'<softwarelist name="c{copy:02d}_'.encode(), 1)
                with open(target, "wb") as f:
                    f.write(data)
            else:
                shutil.copyfile(source, target)
            size += os.path.getsize(target)
    return directory, size


BASELINE = ["sh", "-c", "cat *.xml > t.tmp; cat t.tmp > /dev/null; rm t.tmp"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=9, help="runs per measurement at 1x (fewer at larger sizes)")
    parser.add_argument("--sizes", default="1,4,16")
    parser.add_argument("--per-list", action="store_true", help="one DAT per list: softlist2dat --per-list dats")
    parser.add_argument("--xml", action="store_true", help="with --per-list: the list DATs in Logiqx XML")
    parser.add_argument("--beside", help="another build of the tool, timed beside this one at 1x")
    args = parser.parse_args()
    if args.xml and not args.per_list:
        parser.error("--xml goes with --per-list")

    binary, scan_bench, probe, list_floor = build()
    tool = [binary, "--per-list", "dats"] + (["--xml"] if args.xml else []) if args.per_list else [binary]
    baseline = [list_floor, "dats"] if args.per_list else BASELINE
    lists = fetch_lists()
    sizes = [int(s) for s in args.sizes.split(",")]
    print(f"machine: {cpu_model()}, {os.cpu_count()} cores, {os.uname().sysname} {os.uname().release}")
    with tempfile.TemporaryDirectory(prefix="softlist2dat-bench-", dir=os.environ.get("BENCH_DIR")) as work:
        rows = []
        for factor in sizes:
            directory, size = make_copies(lists, work, factor, args.per_list)
            runs = max(3, args.runs // factor) if factor > 1 else args.runs
            timed(tool, directory)  # warm the page cache; per list, the DATs the floor replaces
            timed(baseline, directory)
            base_times, tool_times, text_times, beside_times, cpu = [], [], [], [], []
            beside = args.beside is not None and factor == sizes[0]
            for _ in range(runs):
                base_times.append(timed(baseline, directory))
                tool_times.append(timed(tool, directory, cpu))
                if args.xml:   # the text form beside it, into a directory of its own
                    text_times.append(timed([binary, "--per-list", "text_dats"], directory))
                if beside:
                    beside_times.append(timed([os.path.abspath(args.beside)] + tool[1:], directory))
            if beside:
                beside_time = statistics.median(beside_times)
            if args.xml and factor == sizes[0]:
                xml_against_text = statistics.median(tool_times) / statistics.median(text_times)
                text_time = statistics.median(text_times)
            peak = max(peak_memory(probe, tool, directory) for _ in range(3))
            rows.append((factor, size, statistics.median(base_times), statistics.median(tool_times), peak, runs))
            if factor == sizes[0]:
                user = statistics.median(u for u, _ in cpu)
                system = statistics.median(s for _, s in cpu)
            shutil.rmtree(directory)

        factor, size, base, tool_time, _, runs = rows[0]
        print(f"\nwhole run on the collection ({size / 1e6:.1f} MB, median of {runs} runs each, side by side):")
        print(f"  baseline  {base * 1000:8.1f} ms")
        print(f"  tool      {tool_time * 1000:8.1f} ms")
        print(f"  ratio     {tool_time / base:8.2f}  (target: at most 1.30)")
        if args.beside is not None:
            print(f"  beside it {beside_time * 1000:8.1f} ms, ratio {beside_time / base:.2f}: {args.beside}")
        if args.xml:
            print(f"  the text list DATs {text_time * 1000:.1f} ms: XML against text {xml_against_text:.2f} "
                  f"(target: at most 1.10)")
        print(f"  the tool's CPU time: user {user * 1000:.1f} ms, system {system * 1000:.1f} ms "
              f"(medians; their sum over the wall time shows the copy and the scan overlapping: "
              f"{(user + system) / tool_time:.2f})")

        print("\nscaling (tool; MB/s counts the input files' bytes):")
        print(f"  {'size':>5} {'MB':>9} {'time ms':>9} {'MB/s':>8} {'peak RSS KiB':>13} {'baseline ms':>12}")
        for factor, size, base, tool_time, peak, _ in rows:
            print(f"  {str(factor) + 'x':>5} {size / 1e6:9.1f} {tool_time * 1000:9.1f} {size / 1e6 / tool_time:8.1f} "
                  f"{peak:13d} {base * 1000:12.1f}")
        speeds = [size / tool_time for _, size, _, tool_time, _, _ in rows]
        spread = (max(speeds) - min(speeds)) / max(speeds)
        peaks = [peak for *_, peak, _ in rows]
        print(f"  time per MB varies by {spread * 100:.1f}% (target: within 20%); peak RSS "
              f"{max(peaks) / 1024:.2f} MiB at most (target: {16 if args.per_list else 6} MiB), spread "
              f"{max(peaks) - min(peaks)} KiB (target: within 256 KiB)")

    # The pass of the writer the tool ran with.
    scan = (f"scanCollectionToListDats/{1 if args.xml else 0}/" if args.per_list else "scanCollection/")
    print("\nscan alone (reader + classifier + handlers + writer, in memory):")
    result = subprocess.run([scan_bench, "--benchmark_min_time=2", "--benchmark_repetitions=5",
                             "--benchmark_report_aggregates_only=true", "--benchmark_filter=^" + scan],
                            env={**os.environ, "SOFTLIST2DAT_LISTS": lists}, capture_output=True, text=True, check=True)
    line = next(l for l in result.stdout.splitlines() if l.startswith(scan) and "_median" in l)
    found = re.search(r"bytes_per_second=([\d.]+)([kMG])/s", line)
    scale = {"k": 2 ** 10, "M": 2 ** 20, "G": 2 ** 30}[found.group(2)]
    print(f"  {float(found.group(1)) * scale / 1e6:.0f} MB/s, median of 5 (target: at least 2500 MB/s)  "
          f"[{line.split()[1]} ms per pass]")


if __name__ == "__main__":
    main()
