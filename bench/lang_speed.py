#!/usr/bin/env python3
"""What reading each file in its language costs.

usage: bench/lang_speed.py [--rounds N] [--mb M] [--pathological-mb P] [--only RE] [--before DIR] [--build DIR] [TREE...]
       bench/lang_speed.py --callgrind [--only RE] [--pathological-mb P] [--build DIR]

The filter: morek --lang=c 8 4 against morek -c 8 4 and tr -d '\\r' on M MB of
generated C source (bench's own generator). Pathological inputs: a pattern
that makes a lexer look back, look ahead or fork over and over (1'1'1'... in
C, (/[ repeated in JavaScript, Ruby and Perl, a fork every few bytes...),
P MB of it as one line and as lines of 80, morek --check 8 4 against morek
--check --lang=text 8 4 on the same file. The file modes, on each TREE (a
work tree that mixes languages, or a folder of several): morek --check 8 4
against morek --check --lang=text 8 4, and what reading its files keeps: by
language, the lines that hold a kept byte, those kept only because the
lexer's readings disagreed, and the files where it gave up. The commands
alternate, round after round, so that the machine's drift hits all alike;
the script prints each one's median, the ratios of the medians and the
range of the per-round ratios. Run bench/run.sh once first, or give --build
a folder with morek, morek_gen_source and morek_lex_readings built.

--before names a build of an earlier morek whose --check on each
pathological input is timed in the same rounds, against the same
--lang=text.

--callgrind counts the instructions of each pathological input under
valgrind's callgrind instead of timing it (one run each: the count hardly
moves from run to run), against --lang=text's; --only keeps the patterns
whose "ext pattern" (".js (a) / b ") the regular expression finds.
"""
import argparse
import os
import re
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


# Patterns that a lexer without bounds would take quadratic time over, or
# that fork its readings every few bytes; by the extension that names their
# language.
PATHOLOGICAL = [
    ("c", "1'"), ("c", "'"), ("js", "(/["), ("js", "(a) / b "), ("js", " <p>{"), ("ts", "(/["),
    ("rb", "(/["), ("rb", "?a "), ("rb", "x /a"), ("rb", "a <<b "), ("pl", "(/["), ("pl", "PI / 2 "),
    ("rb", "x %("), ("pl", "q("), ("pl", "$x // "), ("sh", '"$(case a in b) '), ("sh", "$(("), ("py", "'" * 3),
]


def instructions(cmd):
    r = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + cmd,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if r.returncode not in (0, 1):
        raise SystemExit(f"failed: {cmd}: {r.stderr.decode(errors='replace')}")
    found = re.search(r"Collected : (\d+)", r.stderr.decode(errors="replace"))
    if not found:
        raise SystemExit(f"no instruction count from callgrind for {cmd}")
    return int(found.group(1))


def pathological_files(work, mb, only):
    """Each pattern (those --only picks) over mb MB, as one line and as lines of 80, written in turn to
    the same file: yields its extension, pattern, shape and path."""
    size = mb * 1024 * 1024
    for ext, pattern in PATHOLOGICAL:
        if only and not re.search(only, f".{ext} {pattern}"):
            continue
        line = pattern * (size // len(pattern))
        for shape, text in (("one line", line + "\n"),
                            ("lines of 80", "\n".join(line[k:k + 80] for k in range(0, len(line), 80)) + "\n")):
            path = os.path.join(work, "p." + ext)
            with open(path, "w") as f:
                f.write(text)
            yield ext, pattern, shape, path


def pathological_instructions(morek, work, mb, only):
    print(f"\nPathological inputs, {mb} MB each: instructions of morek --check 8 4 against --lang=text\n")
    print("| file | pattern | shape | instructions | text | ratio |\n|---|---|---|---|---|---|")
    for ext, pattern, shape, path in pathological_files(work, mb, only):
        a = instructions([morek, "--check", "8", "4", path])
        b = instructions([morek, "--check", "--lang=text", "8", "4", path])
        print(f"| .{ext} | `{pattern}` | {shape} | {a / 1e6:.1f}M | {b / 1e6:.1f}M | {a / b:.2f} |", flush=True)


def pathological(morek, work, rounds, mb, only=None, before=None):
    print(f"\nPathological inputs, {mb} MB each, {rounds} rounds: morek --check 8 4 against --lang=text\n")
    if before:
        print(f"before: {before}, in the same rounds against the same --lang=text\n")
        print("| file | pattern | shape | median s | text s | ratio | per round | before s | before ratio | per round |\n"
              "|---|---|---|---|---|---|---|---|---|---|")
    else:
        print("| file | pattern | shape | median s | text s | ratio | per round |\n|---|---|---|---|---|---|---|")
    for ext, pattern, shape, path in pathological_files(work, mb, only):
        a, b, c = [], [], []
        for _ in range(rounds):
            a.append(timed([morek, "--check", "8", "4", path]))
            b.append(timed([morek, "--check", "--lang=text", "8", "4", path]))
            if before:
                c.append(timed([before, "--check", "8", "4", path]))
        per_round = [x / y for x, y in zip(a, b)]
        ma, mb_ = statistics.median(a), statistics.median(b)
        row = (f"| .{ext} | `{pattern}` | {shape} | {ma:.3f} | {mb_:.3f} | {ma / mb_:.2f} | "
               f"{min(per_round):.2f}-{max(per_round):.2f} |")
        if before:
            per_round = [x / y for x, y in zip(c, b)]
            mc = statistics.median(c)
            row += f" {mc:.3f} | {mc / mb_:.2f} | {min(per_round):.2f}-{max(per_round):.2f} |"
        print(row, flush=True)


def readings(build, tree):
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=tree, capture_output=True)
    if listed.returncode == 0 and listed.stdout:
        files = [os.path.join(tree, f) for f in listed.stdout.decode(errors="replace").split("\0") if f]
    else:
        files = [os.path.join(d, f) for d, _, names in os.walk(tree) for f in names]
    files = [f for f in files if os.path.isfile(f) and not os.path.islink(f)]
    r = subprocess.run([os.path.join(build, "morek_lex_readings")], input="\n".join(files).encode(),
                       capture_output=True, check=True)
    print(f"\nWhat reading the files of {tree} keeps\n")
    print(r.stdout.decode())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--mb", type=int, default=50)
    ap.add_argument("--pathological-mb", type=int, default=1)
    ap.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build", "bench"))
    ap.add_argument("--callgrind", action="store_true")
    ap.add_argument("--only")
    ap.add_argument("--before")
    ap.add_argument("trees", nargs="*")
    opt = ap.parse_args()
    morek = os.path.abspath(os.path.join(opt.build, "morek"))
    if opt.callgrind:
        with tempfile.TemporaryDirectory() as work:
            pathological_instructions(morek, work, opt.pathological_mb, opt.only)
        return
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
        pathological(morek, work, opt.rounds, opt.pathological_mb, opt.only,
                     opt.before and os.path.abspath(os.path.join(opt.before, "morek")))
    for tree in opt.trees:
        tree = os.path.abspath(tree)
        compare(f"The file modes on {tree}, {opt.rounds} rounds",
                {"morek --check 8 4 .": [morek, "--check", "8", "4", "."],
                 "morek --check --lang=text 8 4 .": [morek, "--check", "--lang=text", "8", "4", "."]},
                opt.rounds, [("morek --check 8 4 .", "morek --check --lang=text 8 4 .")], cwd=tree)
        readings(os.path.abspath(opt.build), tree)


if __name__ == "__main__":
    main()
