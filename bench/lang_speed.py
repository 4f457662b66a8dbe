#!/usr/bin/env python3
"""What reading each file in its language costs.

usage: bench/lang_speed.py [--rounds N] [--mb M] [--build DIR] [TREE...]

The filter: morek --lang=c 8 4 against morek -c 8 4 and tr -d '\\r' on M MB of
generated C source (bench's own generator). The file modes, on each TREE (a
work tree that mixes languages, or a folder of several): morek --check 8 4
against morek --check --lang=text 8 4. The commands alternate, round after
round, so that the machine's drift hits all alike; the script prints each
one's median, the ratios of the medians and the range of the per-round
ratios. Run bench/run.sh once first, or give --build a folder with morek and
morek_gen_source built.
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time


def timed(cmd, stdin_path=None, cwd=None):
    with open(stdin_path or os.devnull, "rb") as stdin, open(os.devnull, "wb") as out:
        start = time.perf_counter()
        r = subprocess.run(cmd, stdin=stdin, stdout=out, stderr=subprocess.PIPE, cwd=cwd)
        wall = time.perf_counter() - start
    if r.returncode not in (0, 1):
        raise SystemExit(f"failed: {cmd}: {r.stderr.decode(errors='replace')}")
    return wall


def compare(title, commands, rounds, ratios, **kw):
    times = {name: [] for name in commands}
    for _ in range(rounds):
        for name, cmd in commands.items():
            times[name].append(timed(cmd, **kw))
    print(f"\n{title}\n\n| command | median s | range s |\n|---|---|---|")
    for name, t in times.items():
        print(f"| `{name}` | {statistics.median(t):.3f} | {min(t):.3f}-{max(t):.3f} |")
    print()
    for a, b in ratios:
        per_round = [x / y for x, y in zip(times[a], times[b])]
        print(f"`{a}` / `{b}`: {statistics.median(times[a]) / statistics.median(times[b]):.2f} "
              f"(per round {min(per_round):.2f} to {max(per_round):.2f})")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--mb", type=int, default=50)
    ap.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build", "bench"))
    ap.add_argument("trees", nargs="*")
    opt = ap.parse_args()
    morek = os.path.abspath(os.path.join(opt.build, "morek"))
    gen = os.path.abspath(os.path.join(opt.build, "morek_gen_source"))
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "src.c")
        with open(src, "wb") as f:
            subprocess.run([gen, str(opt.mb)], stdout=f, check=True)
        compare(f"The filter on {opt.mb} MB of C source, {opt.rounds} rounds",
                {"morek --lang=c 8 4": [morek, "--lang=c", "8", "4"], "morek -c 8 4": [morek, "-c", "8", "4"],
                 "tr -d '\\r'": ["tr", "-d", "\r"]},
                opt.rounds, [("morek --lang=c 8 4", "morek -c 8 4"), ("morek -c 8 4", "tr -d '\\r'"),
                             ("morek --lang=c 8 4", "tr -d '\\r'")], stdin_path=src)
    for tree in opt.trees:
        tree = os.path.abspath(tree)
        compare(f"The file modes on {tree}, {opt.rounds} rounds",
                {"morek --check 8 4 .": [morek, "--check", "8", "4", "."],
                 "morek --check --lang=text 8 4 .": [morek, "--check", "--lang=text", "8", "4", "."]},
                opt.rounds, [("morek --check 8 4 .", "morek --check --lang=text 8 4 .")], cwd=tree)


if __name__ == "__main__":
    main()
