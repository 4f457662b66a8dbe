#!/usr/bin/env python3
"""morek --check --format=gcc against morek --check over a tree where a tenth of the lines change.

usage: bench/formats.py [--rounds N] [--files F] [--build DIR] [--here DIR] [--jobs J]

Generates a tree of F C-like files (about 20 KB each, indented with tabs),
where one line in ten is indented with spaces or ends in blanks, so that
"-t 8 8" changes it; then times, alternating round after round, with -j J
(default 1) and with a job a processor:
  - morek --check -t 8 8 .                (the names)
  - morek --check --format=gcc -t 8 8 .   (a finding a changed line)
and, for the record, --format=json and --format=sarif. Output goes to
/dev/null; the tree is read once before the clock starts, so that every
command finds it in the page cache. Reports medians, ranges and the ratio
gcc ÷ names, overall and round by round (held to 1.3), in wall time and
in CPU time (user + system), which other work on the machine disturbs less.
"""
import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import tempfile
import time


def timed(cmd, cwd):
    """Wall time, and the CPU time (user + system) of the children."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    proc = subprocess.run(cmd, shell=True, executable="/bin/bash", cwd=cwd)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if proc.returncode != 1:
        raise SystemExit(f"expected status 1, got {proc.returncode}: {cmd}")
    return wall, after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime


def generate(tree, files, rnd):
    words = ["int", "x", "=", "f(y);", "return", "if", "(a", "&&", "b)", "{", "}", "/*", "note", "*/"]
    lines = changed = 0
    for k in range(files):
        d = os.path.join(tree, f"d{k % 50}")
        os.makedirs(d, exist_ok=True)
        out = []
        size = 0
        while size < 20_000:
            depth = rnd.randrange(4)
            body = " ".join(rnd.choice(words) for _ in range(rnd.randrange(1, 9)))
            line = "\t" * depth + body
            if rnd.random() < 0.1:
                changed += 1
                line = " " * (8 * depth) + body if depth and rnd.random() < 0.5 else line + "  "
            out.append(line + "\n")
            size += len(line) + 1
        lines += len(out)
        with open(os.path.join(d, f"f{k}.c"), "w") as f:
            f.writelines(out)
    return lines, changed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--build", default="build/default")
    ap.add_argument("--here", default=None)
    ap.add_argument("--jobs", type=int, default=1)
    args = ap.parse_args()
    morek = os.path.abspath(os.path.join(args.build, "morek"))
    work = tempfile.mkdtemp(prefix="morek-formats-", dir=args.here or os.environ.get("TMPDIR", "/var/tmp"))
    try:
        tree = os.path.join(work, "tree")
        lines, changed = generate(tree, args.files, random.Random(20261208))
        size_mb = sum(os.path.getsize(os.path.join(r, f)) for r, _, fs in os.walk(tree) for f in fs) / 1e6
        subprocess.run(f"find . -type f -print0 | xargs -0 cat > /dev/null", shell=True, cwd=tree, check=True)
        commands = {}
        for jobs in sorted({args.jobs, 0}):
            j = f"-j {jobs} " if jobs else ""
            label = f"-j {jobs}" if jobs else "a job a processor"
            commands[("names", label)] = f"{morek} --check {j}-t 8 8 . > /dev/null"
            commands[("gcc", label)] = f"{morek} --check --format=gcc {j}-t 8 8 . > /dev/null"
            if jobs == args.jobs:
                commands[("json", label)] = f"{morek} --check --format=json {j}-t 8 8 . > /dev/null"
                commands[("sarif", label)] = f"{morek} --check --format=sarif {j}-t 8 8 . > /dev/null"
        walls = {key: [] for key in commands}
        cpus = {key: [] for key in commands}
        for r in range(args.rounds):
            order = list(commands.items())
            if r % 2:
                order.reverse()
            for key, cmd in order:
                wall, cpu = timed(cmd, tree)
                walls[key].append(wall)
                cpus[key].append(cpu)
        med = {key: statistics.median(w) for key, w in walls.items()}
        cpu_med = {key: statistics.median(c) for key, c in cpus.items()}
        print(f"tree: {args.files} files, {size_mb:.1f} MB, {lines} lines, {changed} of them changed "
              f"({100 * changed / lines:.1f} %); {args.rounds} alternating rounds, median wall time\n")
        print("| command | jobs | median wall s | range s | median CPU s | range s |")
        print("|---|---|---|---|---|---|")
        for (fmt, label), w in walls.items():
            name = "--check" if fmt == "names" else f"--check --format={fmt}"
            c = cpus[(fmt, label)]
            print(f"| `morek {name} -t 8 8 .` | {label} | {med[(fmt, label)]:.3f} | {min(w):.3f}-{max(w):.3f} "
                  f"| {cpu_med[(fmt, label)]:.3f} | {min(c):.3f}-{max(c):.3f} |")
        print("\nheld to:")
        for (fmt, label) in walls:
            if fmt == "names":
                continue
            held = " (at most 1.3)" if fmt == "gcc" else ""
            for what, times, m in (("wall", walls, med), ("CPU", cpus, cpu_med)):
                rounds = [a / b for a, b in zip(times[(fmt, label)], times[("names", label)])]
                print(f"  --format={fmt} ÷ names, {label}, {what}: {m[(fmt, label)] / m[('names', label)]:.2f}{held}; "
                      f"round by round {min(rounds):.2f}-{max(rounds):.2f}")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
