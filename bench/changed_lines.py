#!/usr/bin/env python3
"""--changed-lines on one large file with a few changed lines, against converting it whole.

usage: bench/changed_lines.py [--rounds N] [--lines L] [--changed C] [--build DIR]

Builds nothing itself: run bench/run.sh --changed-lines, which builds first.
Generates a C-like file of L lines (100,000), commits it in a new git
repository, then changes C of its lines (10), spread over the file, each
given a tab before it. Times, alternating, round after round:
  - morek --check --changed-lines -c 8 4 big.c (git's diff, and the file
    converted from its start, its changed lines only kept);
  - morek --check -c 8 4 big.c (the whole file);
  - the same two with --diff;
  - git's diff of the file alone, which --changed-lines cannot cost less
    than.
Reports the medians, their ratio (held to at most 1.2) and its spread.
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time


def sh(cmd, cwd=None):
    subprocess.run(cmd, shell=True, check=True, executable="/bin/bash", cwd=cwd)


def timed(cmd, cwd, ok=(0, 1)):
    start = time.perf_counter()
    proc = subprocess.run(cmd, shell=True, executable="/bin/bash", cwd=cwd, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    if proc.returncode not in ok:
        raise SystemExit(f"failed ({proc.returncode}): {cmd}")
    return wall


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=11)
    ap.add_argument("--lines", type=int, default=100_000)
    ap.add_argument("--changed", type=int, default=10)
    ap.add_argument("--build", default="build/bench")
    args = ap.parse_args()
    morek = os.path.abspath(os.path.join(args.build, "morek"))
    gen = os.path.abspath(os.path.join(args.build, "morek_gen_source"))
    with tempfile.TemporaryDirectory(prefix="morek-changed-") as repo:
        big = os.path.join(repo, "big.c")
        megabytes = max(1, args.lines * 60 // 1_000_000 + 1)
        sh(f"{gen} {megabytes} | head -n {args.lines} > {big}")
        with open(big, "rb") as f:
            lines = f.read().split(b"\n")
        if len(lines) - 1 < args.lines:
            raise SystemExit(f"only {len(lines) - 1} lines generated")
        sh("git init -q && git add big.c && git -c user.name=b -c user.email=b@b commit -qm big", cwd=repo)
        step = args.lines // args.changed
        for k in range(args.changed):
            lines[k * step + step // 2] = b"\t" + lines[k * step + step // 2]
        with open(big, "wb") as f:
            f.write(b"\n".join(lines))
        diff = subprocess.run("git diff -U0 | grep -c '^@@'", shell=True, cwd=repo, capture_output=True, text=True)
        steps = [
            ("--check --changed-lines", f"{morek} --check --changed-lines -c 8 4 big.c"),
            ("--check (whole)", f"{morek} --check -c 8 4 big.c"),
            ("--diff --changed-lines", f"{morek} --diff --changed-lines -c 8 4 big.c"),
            ("--diff (whole)", f"{morek} --diff -c 8 4 big.c"),
            # What the lines are taken from, alone: the floor of --changed-lines.
            ("git's diff alone", "git diff --no-ext-diff --no-textconv --no-color -U0 HEAD -- big.c"),
        ]
        timed(steps[1][1], repo)  # into the page cache
        walls = {name: [] for name, _ in steps}
        for r in range(args.rounds):
            order = steps if r % 2 == 0 else steps[::-1]
            for name, cmd in order:
                walls[name].append(timed(cmd, repo))
        med = {name: statistics.median(w) for name, w in walls.items()}
        size = os.path.getsize(big) / 1e6
        print(f"one file of {args.lines} lines ({size:.1f} MB), {diff.stdout.strip()} hunks changed; "
              f"{args.rounds} alternating rounds, median wall time\n")
        print("| command | median s | range s |")
        print("|---|---|---|")
        for name, _ in steps:
            print(f"| `{name}` | {med[name]:.3f} | {min(walls[name]):.3f}-{max(walls[name]):.3f} |")
        print("\nheld to:")
        for mode in ("--check", "--diff"):
            a, b = walls[f"{mode} --changed-lines"], walls[f"{mode} (whole)"]
            rounds = sorted(x / y for x, y in zip(a, b))
            print(f"  {mode} --changed-lines ÷ whole: {statistics.median(a) / statistics.median(b):.2f} "
                  f"(at most 1.2); round by round {rounds[0]:.2f}-{rounds[-1]:.2f}")
        a, b = walls["git's diff alone"], walls["--check (whole)"]
        rounds = sorted(x / y for x, y in zip(a, b))
        print(f"  git's diff alone ÷ --check whole: {statistics.median(a) / statistics.median(b):.2f}; "
              f"round by round {rounds[0]:.2f}-{rounds[-1]:.2f}")


if __name__ == "__main__":
    main()
