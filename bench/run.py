#!/usr/bin/env python3
"""Throughput of morek against GNU expand/unexpand and tr, on generated source text.

usage: bench/run.py [--rounds N] [--mb M] [--build DIR]

Builds nothing itself: run bench/run.sh, which builds first. The commands run
alternately, round after round, so that the machine's drift hits all alike.
Prints the median wall time, MB/s, peak resident memory and the ratio to each
peer, then the peak memory of morek on 10 MB and on the full size.
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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--mb", type=int, default=100)
    ap.add_argument("--build", default="build/bench")
    args = ap.parse_args()

    morek = os.path.join(args.build, "morek")
    gen = os.path.join(args.build, "morek_gen_source")
    tmp = tempfile.mkdtemp(prefix="morek-bench-")
    big = os.path.join(tmp, "source.txt")
    small = os.path.join(tmp, "source10.txt")
    with open(big, "wb") as f:
        subprocess.run([gen, str(args.mb)], stdout=f, check=True)
    with open(small, "wb") as f:
        subprocess.run([gen, "10"], stdout=f, check=True)
    size_mb = os.path.getsize(big) / 1e6

    commands = [
        ("morek 8 4", f"{morek} 8 4"),
        ("morek -c 8 4", f"{morek} -c 8 4"),
        ("morek -ct 8 4", f"{morek} -ct 8 4"),
        ("morek 4 8", f"{morek} 4 8"),
        ("expand -t 8 | unexpand -a -t 4", "LC_ALL=C expand -t 8 | LC_ALL=C unexpand -a -t 4"),
        ("expand -t 8", "LC_ALL=C expand -t 8"),
        ("tr -d '\\r'", "tr -d '\\r'"),
    ]
    walls = {name: [] for name, _ in commands}
    rss = {name: 0 for name, _ in commands}
    for _ in range(args.rounds):
        for name, cmd in commands:
            wall, peak = run_once(cmd, big)
            walls[name].append(wall)
            rss[name] = max(rss[name], peak)

    med = {name: statistics.median(w) for name, w in walls.items()}
    peers = ["expand -t 8 | unexpand -a -t 4", "expand -t 8", "tr -d '\\r'"]
    print(f"machine: {machine()}")
    print(f"input: {size_mb:.1f} MB of generated source, {args.rounds} alternating rounds, median wall time\n")
    header = "| command | median s | MB/s | peak RSS KiB | " + " | ".join(f"÷ `{cell(p)}`" for p in peers) + " |"
    print(header)
    print("|" + "---|" * (4 + len(peers)))
    for name, _ in commands:
        ratios = " | ".join(f"{med[name] / med[p]:.2f}" for p in peers)
        print(f"| `{cell(name)}` | {med[name]:.3f} | {size_mb / med[name]:.0f} | {rss[name]} | {ratios} |")

    print()
    for label, path in (("10 MB", small), (f"{size_mb:.0f} MB", big)):
        peaks = [run_once(f"{morek} -ct 8 4", path)[1] for _ in range(3)]
        print(f"morek -ct 8 4 peak RSS on {label}: {max(peaks)} KiB")


if __name__ == "__main__":
    main()
