#!/usr/bin/env python3
"""Throughput of morek against GNU expand/unexpand and tr, on generated source text.

usage: bench/run.py [--rounds N] [--mb M] [--build DIR] [--against OLD_MOREK]

Builds nothing itself: run bench/run.sh, which builds first. Two corpora are
generated: source text with some Shift-JIS lines, and the same kind of text
with UTF-8 words on about a fifth of its lines. The commands run alternately,
round after round, so that the machine's drift hits all alike. Prints the
median wall time, MB/s, peak resident memory and the ratio to each peer, the
ratios the UTF-8 and line-end options are held to, and the peak memory of
morek on 10 MB and on the full size. With --against, each morek command also
runs with another build of morek in the same rounds, and the ratio of the two
is printed with its range round by round.
"""
import argparse
import os
import platform
import statistics
import subprocess
import tempfile
import time


def run_once(cmd, stdin_path):
    """Wall time and peak resident memory (KiB) of one shell command.

    GNU time runs the shell, which runs the command (or the pipeline, whose
    largest member's peak is reported); the wall time is taken around it."""
    with open(stdin_path, "rb") as stdin, open(os.devnull, "wb") as out:
        start = time.perf_counter()
        proc = subprocess.run(["/usr/bin/time", "-f", "%M", "/bin/sh", "-c", cmd],
                              stdin=stdin, stdout=out, stderr=subprocess.PIPE)
        wall = time.perf_counter() - start
    if proc.returncode != 0:
        raise SystemExit(f"failed: {cmd}: {proc.stderr.decode(errors='replace')}")
    return wall, int(proc.stderr.decode().strip().splitlines()[-1])


def machine():
    cpu = "unknown cpu"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{cpu}, {os.cpu_count()} cores, {platform.system()} {platform.release()}"


def cell(text):
    """Text for a Markdown table cell."""
    return text.replace("|", "\\|")


def generate(gen, path, mb, *flags):
    with open(path, "wb") as f:
        subprocess.run([gen, str(mb), *flags], stdout=f, check=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--mb", type=int, default=100)
    ap.add_argument("--build", default="build/bench")
    ap.add_argument("--against", help="another morek binary, run beside this one in every round")
    args = ap.parse_args()

    morek = os.path.join(args.build, "morek")
    gen = os.path.join(args.build, "morek_gen_source")
    with tempfile.TemporaryDirectory(prefix="morek-bench-") as tmp:
        run(args, morek, gen, tmp)


def run(args, morek, gen, tmp):
    big = os.path.join(tmp, "source.txt")
    small = os.path.join(tmp, "source10.txt")
    utf8 = os.path.join(tmp, "source-utf8.txt")
    generate(gen, big, args.mb)
    generate(gen, small, 10)
    generate(gen, utf8, args.mb, "--utf8")
    size_mb = os.path.getsize(big) / 1e6
    utf8_mb = os.path.getsize(utf8) / 1e6

    # (name, command, corpus)
    commands = [
        ("morek 8 4", f"{morek} 8 4", big),
        ("morek -c 8 4", f"{morek} -c 8 4", big),
        ("morek -ct 8 4", f"{morek} -ct 8 4", big),
        ("morek 4 8", f"{morek} 4 8", big),
        ("morek --utf8 8 4", f"{morek} --utf8 8 4", big),
        ("morek --eol=keep 8 4", f"{morek} --eol=keep 8 4", big),
        ("morek --spaces 8", f"{morek} --spaces 8", big),
        ("morek --indent-only 8 4", f"{morek} --indent-only 8 4", big),
        ("morek --indent-only --spaces 8", f"{morek} --indent-only --spaces 8", big),
        ("expand -t 8 | unexpand --first-only -t 4",
         "LC_ALL=C expand -t 8 | LC_ALL=C unexpand --first-only -t 4", big),
        ("expand -i -t 8", "LC_ALL=C expand -i -t 8", big),
        ("expand -t 8 | unexpand -a -t 4", "LC_ALL=C expand -t 8 | LC_ALL=C unexpand -a -t 4", big),
        ("expand -t 8", "LC_ALL=C expand -t 8", big),
        ("tr -d '\\r'", "tr -d '\\r'", big),
        ("UTF-8: morek --utf8 8 4", f"{morek} --utf8 8 4", utf8),
        ("UTF-8: morek 8 4", f"{morek} 8 4", utf8),
        ("UTF-8: tr -d '\\r'", "tr -d '\\r'", utf8),
    ]
    if args.against:
        old = os.path.abspath(args.against)
        commands += [("against: " + name, cmd.replace(morek, old, 1), corpus)
                     for name, cmd, corpus in commands if cmd.startswith(morek)]
    walls = {name: [] for name, _, _ in commands}
    rss = {name: 0 for name, _, _ in commands}
    for _ in range(args.rounds):
        for name, cmd, corpus in commands:
            wall, peak = run_once(cmd, corpus)
            walls[name].append(wall)
            rss[name] = max(rss[name], peak)

    med = {name: statistics.median(w) for name, w in walls.items()}
    peers = ["expand -t 8 | unexpand -a -t 4", "expand -t 8", "tr -d '\\r'"]
    print(f"machine: {machine()}")
    print(f"input: {size_mb:.1f} MB of generated source (and {utf8_mb:.1f} MB with UTF-8 text), "
          f"{args.rounds} alternating rounds, median wall time\n")
    header = "| command | median s | MB/s | peak RSS KiB | " + " | ".join(f"÷ `{cell(p)}`" for p in peers) + " |"
    print(header)
    print("|" + "---|" * (4 + len(peers)))
    for name, _, corpus in commands:
        if corpus != big or name.startswith("against: "):
            continue
        ratios = " | ".join(f"{med[name] / med[p]:.2f}" for p in peers)
        print(f"| `{cell(name)}` | {med[name]:.3f} | {size_mb / med[name]:.0f} | {rss[name]} | {ratios} |")

    print("\n| on the UTF-8 corpus | median s | MB/s | peak RSS KiB | ÷ `tr -d '\\r'` |")
    print("|---|---|---|---|---|")
    for name, _, corpus in commands:
        if corpus == utf8 and not name.startswith("against: "):
            short = name.split(": ", 1)[1]
            ratio = med[name] / med["UTF-8: tr -d '\\r'"]
            print(f"| `{cell(short)}` | {med[name]:.3f} | {utf8_mb / med[name]:.0f} | {rss[name]} | {ratio:.2f} |")

    def spread(name):
        return f"{min(walls[name]):.3f}-{max(walls[name]):.3f}"

    tr = "tr -d '\\r'"
    utf8_tr = "UTF-8: " + tr
    print("\nheld to:")
    print(f"  morek --utf8 8 4 on the ASCII corpus ÷ morek 8 4: "
          f"{med['morek --utf8 8 4'] / med['morek 8 4']:.2f} (at most 1.10)")
    print(f"  morek --utf8 8 4 on the UTF-8 corpus ÷ {tr}: "
          f"{med['UTF-8: morek --utf8 8 4'] / med[utf8_tr]:.2f} (at most 1.00)")
    print(f"  morek --eol=keep 8 4 ÷ morek 8 4: {med['morek --eol=keep 8 4'] / med['morek 8 4']:.2f} (at most 1.05)")
    for style, peer in (("morek --spaces 8", "expand -t 8"),
                        ("morek --indent-only 8 4", "expand -t 8 | unexpand --first-only -t 4"),
                        ("morek --indent-only --spaces 8", "expand -i -t 8")):
        print(f"  {style} ÷ morek 8 4: {med[style] / med['morek 8 4']:.2f} (at most 1.20); "
              f"÷ {peer}: {med[style] / med[peer]:.2f} (at most 0.25)")
    print(f"  round-to-round range, s: morek 8 4 {spread('morek 8 4')}, {tr} {spread(tr)}, "
          f"UTF-8 morek --utf8 8 4 {spread('UTF-8: morek --utf8 8 4')}, UTF-8 {tr} {spread(utf8_tr)}")

    if args.against:
        print(f"\nagainst {args.against}, in the same rounds:\n")
        print("| command | median s | against, median s | ratio of medians | ratio round by round |")
        print("|---|---|---|---|---|")
        for name, _, corpus in commands:
            if ("against: " + name) not in walls:
                continue
            other = "against: " + name
            rounds = [a / b for a, b in zip(walls[name], walls[other])]
            print(f"| `{cell(name)}` | {med[name]:.3f} | {med[other]:.3f} | {med[name] / med[other]:.3f} | "
                  f"{min(rounds):.2f}-{max(rounds):.2f} |")

    print()
    for label, path in (("10 MB", small), (f"{size_mb:.0f} MB", big)):
        peaks = [run_once(f"{morek} -ct 8 4", path)[1] for _ in range(3)]
        print(f"morek -ct 8 4 peak RSS on {label}: {max(peaks)} KiB")
    peaks = [run_once(f"{morek} --utf8 8 4", utf8)[1] for _ in range(3)]
    print(f"morek --utf8 8 4 peak RSS on the UTF-8 corpus: {max(peaks)} KiB")


if __name__ == "__main__":
    main()
