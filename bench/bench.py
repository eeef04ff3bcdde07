#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Measure prefixdb-version against a minimal C program that does the least work possible.

Two pairs are measured side by side: the Release build (dynamically linked against glibc) against
the floor program (bench/floor.c) built the same way, and the static musl build against the floor
built with `musl-gcc -static`. A third table compares, in the same run, what a user might type
instead to read a version: od, xxd and a three-line Python script. The benchmark makes its own
databases and first checks that every program prints the same lines. Without --quick it runs many
rounds, draws bench/out/scaling.png and exits non-zero when a figure misses its bound.
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
STATIC_TOOL = ROOT / "build" / "linux-static-x86_64" / "prefixdb-version"
FLOOR = OUT / "floor"
STATIC_FLOOR = OUT / "floor-static"
PYTHON_SCRIPT = OUT / "version.py"
COUNT = 10_000
SIGNATURE = bytes([0x68, 0x57, 0x46, 0x35])

# What a user would write instead of the tool: three lines, no checks.
PYTHON_SOURCE = """import sys
for name in sys.argv[1:]:
    b = open(name, "rb").read(8); print(b[7], b[6], b[4] | b[5] << 8)
"""

BOUNDS = {
    "ratio_many": 1.15,
    "ratio_one": 1.15,
    "syscalls_per_file": 4,
    "peak_kib": 4096,
    "huge_ratio": 1.10,
    "static_ratio_many": 1.15,
    "static_ratio_one": 1.15,
    "static_syscalls_per_file": 4,
    "static_peak_kib": 4096,
}


def sh(args, **kwargs):
    return subprocess.run(args, check=True, **kwargs)


def build():
    for preset in ("release", "linux-static-x86_64"):
        sh(["cmake", "--preset", preset], cwd=ROOT, stdout=subprocess.DEVNULL)
        sh(["cmake", "--build", "--preset", preset, "--target", "prefixdb-version"], cwd=ROOT,
           stdout=subprocess.DEVNULL)
    OUT.mkdir(parents=True, exist_ok=True)
    floor_source = str(ROOT / "bench" / "floor.c")
    sh(["cc", "-O2", "-o", str(FLOOR), floor_source])
    sh(["musl-gcc", "-static", "-O2", "-o", str(STATIC_FLOOR), floor_source])
    PYTHON_SCRIPT.write_text(PYTHON_SOURCE)


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


def python():
    return [sys.executable, str(PYTHON_SCRIPT)]


def output_of(program, files, cwd):
    return sh([*program, *files], cwd=cwd, stdout=subprocess.PIPE).stdout


def check_outputs():
    programs = ([TOOL], [STATIC_TOOL], [FLOOR], [STATIC_FLOOR], python())
    for files, cwd in ((names(COUNT), DBS), (["huge.db", "tiny.db"], DATA)):
        outputs = {output_of([str(p) for p in program], files, cwd) for program in programs}
        if len(outputs) != 1 or not next(iter(outputs)):
            sys.exit(f"bench: the programs print different lines over {files[0]}...")
    first = DBS / names(1)[0]
    words = first.read_bytes()[4:8]
    od = output_of(["od", "-An", "-tu1", "-j4", "-N4"], [str(first)], DBS).split()
    xxd = output_of(["xxd", "-s", "4", "-l", "4"], [str(first)], DBS).split()
    if [int(b) for b in od] != list(words) or b"".join(xxd[1:3]).decode() != words.hex():
        sys.exit("bench: od or xxd read other bytes than bytes 4 to 7")
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
    return " ".join([*(str(p) for p in program), *files])


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
    table.write_text("".join(" ".join([str(n), *(f"{t * 1e3:.4f}" for t in ts)]) + "\n"
                             for n, ts in points))
    script = f"""
set terminal pngcairo size 800,500
set output '{OUT / "scaling.png"}'
set title 'Wall time against number of databases (median)'
set xlabel 'databases named on the command line'
set ylabel 'milliseconds'
set logscale xy
set key top left
set grid
plot '{table}' using 1:2 with linespoints title 'prefixdb-version (glibc)', \\
     '{table}' using 1:3 with linespoints title 'floor (glibc)', \\
     '{table}' using 1:4 with linespoints title 'prefixdb-version (static musl)', \\
     '{table}' using 1:5 with linespoints title 'floor (static musl)'
"""
    sh(["gnuplot"], input=script.encode())


def markdown(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    return lines + ["| " + " | ".join(row) + " |" for row in rows]


def measure_pair(tool, floor, all_names, rounds, many_runs, one_runs, warmup, quick):
    """The figures of one build of the tool against the floor built the same way."""
    med = statistics.median
    tool_many, floor_many = hyperfine(
        [command([tool], all_names), command([floor], all_names)], DBS, rounds, many_runs, warmup)
    tool_one, floor_one = hyperfine(
        [command([tool], all_names[:1]), command([floor], all_names[:1])], DBS, rounds, one_runs,
        warmup)
    extra = 1000
    more = all_names[: extra + 1]
    calls = {p: (syscalls(p, more, DBS) - syscalls(p, more[:1], DBS)) / extra for p in (tool, floor)}
    ir_one = {p: instructions(p, more[:1], DBS) for p in (tool, floor)}
    ir_per = {p: (instructions(p, more, DBS) - ir_one[p]) / extra for p in (tool, floor)}
    peak = {p: peak_kib(p, all_names, DBS, 3 if quick else 9) for p in (tool, floor)}
    figures = {
        "ratio_many": med(tool_many) / med(floor_many),
        "ratio_one": med(tool_one) / med(floor_one),
        "syscalls_per_file": calls[tool],
        "peak_kib": peak[tool],
    }
    rows = [
        ("wall time, 10,000 databases", f"{med(tool_many) * 1e3:.2f} ms",
         f"{med(floor_many) * 1e3:.2f} ms", f"{figures['ratio_many']:.3f}", "<= 1.15"),
        ("wall time, 1 database (start-up)", f"{med(tool_one) * 1e3:.3f} ms",
         f"{med(floor_one) * 1e3:.3f} ms", f"{figures['ratio_one']:.3f}", "<= 1.15"),
        ("system calls per additional database", f"{calls[tool]:.2f}", f"{calls[floor]:.2f}",
         "", "<= 4"),
        ("instructions, 1 database", f"{ir_one[tool]:,}", f"{ir_one[floor]:,}",
         f"{ir_one[tool] / ir_one[floor]:.3f}", ""),
        ("instructions per additional database", f"{ir_per[tool]:,.0f}", f"{ir_per[floor]:,.0f}",
         f"{ir_per[tool] / ir_per[floor]:.3f}", ""),
        ("peak resident memory, 10,000 databases", f"{peak[tool]:,.0f} KiB",
         f"{peak[floor]:,.0f} KiB", "", "<= 4096 KiB"),
    ]
    return figures, rows


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

    figures, rows = measure_pair(TOOL, FLOOR, all_names, rounds, many_runs, one_runs, warmup,
                                 quick)
    huge, tiny = hyperfine([command([TOOL], ["huge.db"]), command([TOOL], ["tiny.db"])], DATA,
                           rounds, one_runs, warmup)
    ir_huge, ir_tiny = (instructions(TOOL, [name], DATA) for name in ("huge.db", "tiny.db"))
    figures["huge_ratio"] = med(huge) / med(tiny)
    rows.append(("1 GiB database against an 8-byte one",
                 f"{med(huge) * 1e3:.3f} ms / {med(tiny) * 1e3:.3f} ms",
                 f"{ir_huge:,} / {ir_tiny:,} instructions", f"{figures['huge_ratio']:.3f}",
                 "<= 1.10, same instructions"))

    static_figures, static_rows = measure_pair(STATIC_TOOL, STATIC_FLOOR, all_names, rounds,
                                               many_runs, one_runs, warmup, quick)
    figures.update({"static_" + key: value for key, value in static_figures.items()})

    # What a user would type instead, timed in the same rounds as both builds of the tool.
    first = all_names[:1]
    one_commands = {
        "prefixdb-version, static musl": command([STATIC_TOOL], first),
        "prefixdb-version, glibc": command([TOOL], first),
        "od -An -tu1 -j4 -N4": command(["od", "-An", "-tu1", "-j4", "-N4"], first),
        "xxd -s 4 -l 4": command(["xxd", "-s", "4", "-l", "4"], first),
        "three-line Python script": command(python(), first),
    }
    one_times = dict(zip(one_commands, hyperfine(list(one_commands.values()), DBS, rounds,
                                                 one_runs // 2 or 1, warmup)))
    many_commands = {
        "prefixdb-version, static musl": command([STATIC_TOOL], all_names),
        "prefixdb-version, glibc": command([TOOL], all_names),
        "three-line Python script": command(python(), all_names),
    }
    many_times = dict(zip(many_commands, hyperfine(list(many_commands.values()), DBS, rounds,
                                                   many_runs, warmup)))
    base_one = med(one_times["prefixdb-version, static musl"])
    base_many = med(many_times["prefixdb-version, static musl"])
    alternative_rows = [
        (what, f"{med(one_times[what]) * 1e3:.3f} ms", f"{med(one_times[what]) / base_one:.2f}",
         f"{med(many_times[what]) * 1e3:.1f} ms" if what in many_times else "one file a run",
         f"{med(many_times[what]) / base_many:.2f}" if what in many_times else "")
        for what in one_commands
    ]

    header = ("figure", "prefixdb-version", "floor", "ratio", "bound")
    cpu = next((l.split(":", 1)[1].strip() for l in Path("/proc/cpuinfo").read_text().splitlines()
                if l.startswith("model name")), platform.processor())
    lines = ["Dynamically linked against glibc (Release build, floor built with cc -O2):", ""]
    lines += markdown(header, rows)
    lines += ["", "Static, against musl (linux-static-x86_64 build, floor built with musl-gcc "
              "-static -O2):", ""]
    lines += markdown(header, static_rows)
    lines += ["", "What a user might type instead:", ""]
    lines += markdown(("command", "1 database", "ratio", "10,000 databases, one process", "ratio"),
                      alternative_rows)
    lines += ["", f"{'Quick run' if quick else 'Run'} on {cpu}, {os.cpu_count()} cores, "
              f"{platform.system()} {platform.release()}; medians of {rounds} rounds that "
              "alternate the programs compared."]
    text = "\n".join(lines) + "\n"
    (OUT / "results.md").write_text(text)
    print(text)

    if quick:
        return
    points = []
    for n in (1, 10, 100, 1000, 10_000):
        times = hyperfine([command([p], all_names[:n]) for p in (TOOL, FLOOR, STATIC_TOOL,
                                                                  STATIC_FLOOR)],
                          DBS, 3, 10 if n >= 1000 else 50, 2)
        points.append((n, [med(t) for t in times]))
    plot(points)
    print(f"plot: {OUT / 'scaling.png'}")

    missed = [name for name, bound in BOUNDS.items() if figures[name] > bound]
    if ir_huge != ir_tiny:
        missed.append("huge_instructions")
    if missed:
        sys.exit("bench: bounds missed: " + ", ".join(missed))


if __name__ == "__main__":
    main()
