#!/usr/bin/env python3
"""What proving every conversion costs, against converting.

usage: bench/proof_cost.py [--rounds N] [--build DIR] [--style ARGS] TREE...

Copies the files git lists in each TREE into a folder, converts a copy of
it with morek -i STYLE (8 4 by default: nearly every file changes, and
every change is proven), and then, round after round, times
morek --check STYLE over the originals and the proof of every file (the
original against what -i made of it) by morek_proof_bench, which holds
both texts in memory as a conversion does. Prints the medians, the proof's
share of --check, its ratio per round and the files it left unproven.
Run with a build of the bench preset (cmake --preset bench && cmake
--build build/bench).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=9)
    ap.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build", "bench"))
    ap.add_argument("--style", default="8 4")
    ap.add_argument("trees", nargs="+")
    opt = ap.parse_args()
    morek = os.path.abspath(os.path.join(opt.build, "morek"))
    bench = os.path.abspath(os.path.join(opt.build, "morek_proof_bench"))
    style = opt.style.split()
    with tempfile.TemporaryDirectory() as work:
        orig, conv = os.path.join(work, "orig"), os.path.join(work, "conv")
        for tree in opt.trees:
            listed = subprocess.run(["git", "-C", tree, "ls-files", "-z"], capture_output=True, check=True).stdout
            for rel in listed.decode(errors="surrogateescape").split("\0"):
                src = os.path.join(tree, rel)
                if not rel or os.path.islink(src) or not os.path.isfile(src):
                    continue
                dst = os.path.join(orig, os.path.basename(os.path.abspath(tree)), rel)
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                shutil.copyfile(src, dst)
        shutil.copytree(orig, conv)
        subprocess.run([morek, "-i"] + style + [conv], stderr=subprocess.DEVNULL)
        pairs = os.path.join(work, "pairs")
        with open(pairs, "w", encoding="utf-8", errors="surrogateescape") as f:
            for root, _, files in os.walk(orig):
                for name in files:
                    a = os.path.join(root, name)
                    f.write(a + "\t" + os.path.join(conv, os.path.relpath(a, orig)) + "\n")
        check, proof, files, unproven = [], [], 0, 0
        for _ in range(opt.rounds):
            start = time.perf_counter()
            subprocess.run([morek, "--check"] + style + [orig], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            check.append(time.perf_counter() - start)
            out = subprocess.run([bench, pairs], capture_output=True, check=True).stdout.split()
            proof.append(float(out[0]))
            files, unproven = int(out[1]), int(out[2])
        ratios = [(c + p) / c for c, p in zip(check, proof)]
        print(f"{files} files; --check {opt.style}: median {statistics.median(check):.3f} s "
              f"({min(check):.3f}-{max(check):.3f}); proof: median {statistics.median(proof):.3f} s "
              f"({min(proof):.3f}-{max(proof):.3f})")
        print(f"(--check + proof) / --check: median {statistics.median(ratios):.2f}, "
              f"per round {min(ratios):.2f} to {max(ratios):.2f}; unproven: {unproven}")


if __name__ == "__main__":
    main()
