#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Measure prefixdb-version against a minimal C program that does the least work possible.

Builds the tool (Release) and the floor program (bench/floor.c), makes its own databases, checks
that both print the same lines, then measures the two side by side and prints a table of medians
and ratios. Without --quick it runs many rounds, draws bench/out/scaling.png and exits non-zero when
a figure misses its bound.
"""

import argparse
import json
import os
import platform
import random
import statistics
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
OUT = ROOT / "bench" / "out"
DATA = OUT / "data"
DBS = DATA / "db"
TOOL = ROOT / "build" / "release" / "prefixdb-version"
FLOOR = OUT / "floor"
COUNT = 10_000
SIGNATURE = bytes([0x68, 0x57, 0x46, 0x35])

BOUNDS = {
    "ratio_many": 1.15,
    "ratio_one": 1.15,
    "syscalls_per_file": 4,
    "peak_kib": 4096,
    "huge_ratio": 1.10,
}


def sh(args, **kwargs):
    return subprocess.run(args, check=True, **kwargs)


def build():
    sh(["cmake", "--preset", "release"], cwd=ROOT, stdout=subprocess.DEVNULL)
    sh(["cmake", "--build", "--preset", "release"], cwd=ROOT, stdout=subprocess.DEVNULL)
    OUT.mkdir(parents=True, exist_ok=True)
    sh(["cc", "-O2", "-o", str(FLOOR), str(ROOT / "bench" / "floor.c")])


def names(count):
    return [f"{i:05d}" for i in range(count)]


def make_data():
    DBS.mkdir(parents=True, exist_ok=True)
    rng = random.Random(1)
    for name in names(COUNT):
        path = DBS / name
        if not path.exists():
            words = bytes(rng.randrange(256) for _ in range(4))
            path.write_bytes(SIGNATURE + words + b"\0" * 56)
    (DATA / "tiny.db").write_bytes(SIGNATURE + bytes([0x34, 0x12, 0x02, 0x01]))
    huge = DATA / "huge.db"
    huge.write_bytes(SIGNATURE + bytes([0x34, 0x12, 0x02, 0x01]))
    os.truncate(huge, 1 << 30)


def output_of(program, files, cwd):
    return sh([str(program), *files], cwd=cwd, stdout=subprocess.PIPE).stdout


def check_outputs():
    for files, cwd in ((names(COUNT), DBS), (["huge.db", "tiny.db"], DATA)):
        tool, floor = output_of(TOOL, files, cwd), output_of(FLOOR, files, cwd)
        if tool != floor or not tool:
            sys.exit(f"bench: the tool's output differs from the floor's over {files[0]}...")
    print(f"outputs match over {COUNT} databases and the 1 GiB one")


def hyperfine(commands, cwd, rounds, runs, warmup):
    """Times each command; rounds alternate the commands. Returns every time per command."""
    times = [[] for _ in commands]
    report = OUT / "hyperfine.json"
    for _ in range(rounds):
        sh(["hyperfine", "-N", "--style", "none", "--runs", str(runs), "--warmup", str(warmup),
            "--export-json", str(report), *commands], cwd=cwd, stdout=subprocess.DEVNULL,
           stderr=subprocess.DEVNULL)
        for i, result in enumerate(json.loads(report.read_text())["results"]):
            times[i].extend(result["times"])
    return times


def command(program, files):
    return " ".join([str(program), *files])


def syscalls(program, files, cwd):
    trace = OUT / "strace.txt"
    sh(["strace", "-f", "-qq", "-o", str(trace), str(program), *files], cwd=cwd,
       stdout=subprocess.DEVNULL)
    return len(trace.read_text().splitlines())


def instructions(program, files, cwd):
    report = OUT / "callgrind.out"
    sh(["valgrind", "--tool=callgrind", f"--callgrind-out-file={report}", str(program), *files],
       cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for line in report.read_text().splitlines():
        if line.startswith(("summary:", "totals:")):
            return int(line.split()[1])
    sys.exit("bench: callgrind wrote no totals")


def peak_kib(program, files, cwd, runs):
    peaks = []
    report = OUT / "time.txt"
    for _ in range(runs):
        sh(["/usr/bin/time", "-f", "%M", "-o", str(report), str(program), *files], cwd=cwd,
           stdout=subprocess.DEVNULL)
        peaks.append(int(report.read_text().split()[-1]))
    return statistics.median(peaks)


def plot(points):
    table = OUT / "scaling.dat"
    table.write_text("".join(f"{n} {t * 1e3:.4f} {f * 1e3:.4f}\n" for n, t, f in points))
    script = f"""
set terminal pngcairo size 800,500
set output '{OUT / "scaling.png"}'
set title 'Wall time against number of databases (median)'
set xlabel 'databases named on the command line'
set ylabel 'milliseconds'
set logscale xy
set key top left
set grid
plot '{table}' using 1:2 with linespoints title 'prefixdb-version', \\
     '{table}' using 1:3 with linespoints title 'floor (open, read, close)'
"""
    sh(["gnuplot"], input=script.encode())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--quick", action="store_true",
                        help="a few runs, no plot and no bounds: only that it all works")
    quick = parser.parse_args().quick
    rounds, many_runs, one_runs, warmup = (1, 3, 5, 0) if quick else (10, 5, 100, 3)

    build()
    make_data()
    check_outputs()
    all_names = names(COUNT)
    med = statistics.median

    tool_many, floor_many = hyperfine(
        [command(TOOL, all_names), command(FLOOR, all_names)], DBS, rounds, many_runs, warmup)
    tool_one, floor_one = hyperfine(
        [command(TOOL, all_names[:1]), command(FLOOR, all_names[:1])], DBS, rounds, one_runs,
        warmup)
    huge, tiny = hyperfine([command(TOOL, ["huge.db"]), command(TOOL, ["tiny.db"])], DATA, rounds,
                           one_runs, warmup)

    extra = 1000
    more = all_names[: extra + 1]
    calls = {p: (syscalls(p, more, DBS) - syscalls(p, more[:1], DBS)) / extra
             for p in (TOOL, FLOOR)}
    ir_one = {p: instructions(p, more[:1], DBS) for p in (TOOL, FLOOR)}
    ir_per = {p: (instructions(p, more, DBS) - ir_one[p]) / extra for p in (TOOL, FLOOR)}
    ir_huge, ir_tiny = (instructions(TOOL, [name], DATA) for name in ("huge.db", "tiny.db"))
    peak = {p: peak_kib(p, all_names, DBS, 3 if quick else 9) for p in (TOOL, FLOOR)}

    figures = {
        "ratio_many": med(tool_many) / med(floor_many),
        "ratio_one": med(tool_one) / med(floor_one),
        "syscalls_per_file": calls[TOOL],
        "peak_kib": peak[TOOL],
        "huge_ratio": med(huge) / med(tiny),
    }
    rows = [
        ("wall time, 10,000 databases", f"{med(tool_many) * 1e3:.2f} ms",
         f"{med(floor_many) * 1e3:.2f} ms", f"{figures['ratio_many']:.3f}", "<= 1.15"),
        ("wall time, 1 database (start-up)", f"{med(tool_one) * 1e3:.3f} ms",
         f"{med(floor_one) * 1e3:.3f} ms", f"{figures['ratio_one']:.3f}", "<= 1.15"),
        ("system calls per additional database", f"{calls[TOOL]:.2f}", f"{calls[FLOOR]:.2f}",
         "", "<= 4"),
        ("instructions, 1 database", f"{ir_one[TOOL]:,}", f"{ir_one[FLOOR]:,}",
         f"{ir_one[TOOL] / ir_one[FLOOR]:.3f}", ""),
        ("instructions per additional database", f"{ir_per[TOOL]:,.0f}",
         f"{ir_per[FLOOR]:,.0f}", f"{ir_per[TOOL] / ir_per[FLOOR]:.3f}", ""),
        ("peak resident memory, 10,000 databases", f"{peak[TOOL]:,.0f} KiB",
         f"{peak[FLOOR]:,.0f} KiB", "", "<= 4096 KiB"),
        ("1 GiB database against an 8-byte one", f"{med(huge) * 1e3:.3f} ms / "
         f"{med(tiny) * 1e3:.3f} ms", f"{ir_huge:,} / {ir_tiny:,} instructions",
         f"{figures['huge_ratio']:.3f}", "<= 1.10, same instructions"),
    ]
    header = ("figure", "prefixdb-version", "floor", "ratio", "bound")
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    cpu = next((l.split(":", 1)[1].strip() for l in Path("/proc/cpuinfo").read_text().splitlines()
                if l.startswith("model name")), platform.processor())
    lines.append("")
    lines.append(f"{'Quick run' if quick else 'Run'} on {cpu}, {os.cpu_count()} cores, "
                 f"{platform.system()} {platform.release()}; medians of {rounds} rounds that "
                 "alternate the two programs.")
    text = "\n".join(lines) + "\n"
    (OUT / "results.md").write_text(text)
    print(text)

    if quick:
        return
    points = []
    for n in (1, 10, 100, 1000, 10_000):
        t, f = hyperfine([command(TOOL, all_names[:n]), command(FLOOR, all_names[:n])], DBS,
                         3, 10 if n >= 1000 else 50, 2)
        points.append((n, med(t), med(f)))
    plot(points)
    print(f"plot: {OUT / 'scaling.png'}")

    missed = [name for name, bound in BOUNDS.items() if figures[name] > bound]
    if ir_huge != ir_tiny:
        missed.append("huge_instructions")
    if missed:
        sys.exit("bench: bounds missed: " + ", ".join(missed))


if __name__ == "__main__":
    main()
