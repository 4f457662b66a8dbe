#!/usr/bin/env python3
"""File modes on long lines: a tree whose every file holds a 10 KB line against
the same bytes in short lines, and the memory of one file of one 100 MB line.

usage: bench/long_lines.py [--rounds N] [--files F] [--build DIR]

Both trees hold the same bytes: C-like text with tabs and runs of blanks. The
two runs of morek --check -c 8 4 alternate, round after round, so that the
machine's drift hits both alike; the script prints the median of each, the
ratio of the medians and the spread of the per-round ratios. Then it converts
a file of one 100 MB line in place and prints the peak resident memory.
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time

WORDS = ["int", "x", "=", "1;", "\t", "  ", "count", "  =", "\tfoo(a,", "b);", "/*", "c", "*/"]


def text_of(length, rng):
    out, n = [], 0
    while n < length:
        w = WORDS[rng % len(WORDS)]
        rng = (rng * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(w + " ")
        n += len(w) + 1
    return "".join(out)[:length], rng


def make_trees(root, files):
    rng = 1
    for kind in ("long", "short"):
        os.makedirs(os.path.join(root, kind))
    for i in range(files):
        body, rng = text_of(10 * 1024, rng)
        with open(os.path.join(root, "long", f"f{i}.c"), "w") as f:
            f.write("\t" + body + "\n")
        # The same bytes, a line end every 80 or so.
        short = "\n".join(body[k:k + 79] for k in range(0, len(body), 79))
        with open(os.path.join(root, "short", f"f{i}.c"), "w") as f:
            f.write("\t" + short[:len(body)] + "\n")


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=11)
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--build", default="build/bench")
    args = ap.parse_args()
    morek = os.path.abspath(os.path.join(args.build, "morek"))
    with tempfile.TemporaryDirectory(dir="/var/tmp") as root:
        make_trees(root, args.files)
        times = {"long": [], "short": []}
        for r in range(args.rounds):
            order = ("long", "short") if r % 2 == 0 else ("short", "long")
            for kind in order:
                times[kind].append(timed([morek, "--check", "-c", "8", "4", os.path.join(root, kind)]))
        ratios = [a / b for a, b in zip(times["long"], times["short"])]
        ml, ms = statistics.median(times["long"]), statistics.median(times["short"])
        print(f"{args.files} files of 10 KB, {args.rounds} alternating rounds of morek --check -c 8 4")
        print(f"  one 10 KB line each: median {ml:.3f} s")
        print(f"  short lines:         median {ms:.3f} s")
        print(f"  ratio of medians {ml / ms:.3f}; per-round ratios {min(ratios):.3f} to {max(ratios):.3f}")
        big = os.path.join(root, "big.c")
        with open(big, "w") as f:
            body, _ = text_of(1 << 20, 7)
            for _ in range(100):
                f.write(body)
            f.write("\n")
        out = subprocess.run(["/usr/bin/time", "-f", "%M %e", morek, "-i", "8", "4", big],
                             stderr=subprocess.PIPE, text=True).stderr.split()
        print(f"one 100 MB line, -i 8 4: peak resident {int(out[-2]) / 1024:.0f} MB, {out[-1]} s")


if __name__ == "__main__":
    main()
