#!/usr/bin/env python3
"""morek -i and --check over a tree of files, against cp -a, cat and the old per-file pipeline.

usage: bench/tree.py [--rounds N] [--mb M] [--build DIR] [--gb G] [--here DIR] [--many F]
                     [--peer DIR] [--in-place-only] [--many-only]

Builds nothing itself: run bench/run.sh, which builds first. Generates a tree
of C-like files (about 20 KB each), then times, round after round:
  - morek -i -c 8 4 over a fresh copy of the tree (find | xargs -0);
  - cp -a of the tree followed by sync;
  - the old per-file pipeline (bash, morek, tr and mv for each file, xargs -P 2);
  - morek --check -c 8 4 over a fresh copy (it converts every file, writes nothing);
  - cat of every file;
  - in a git repository of the tree: morek --check -c 8 4 . (git lists the
    files), the same files through find | xargs, and morek --diff -c 8 4 .
    (every file changes).
Every fresh copy is made and synced before the clock starts. Then it converts
one file of G GB in place and reports the peak resident memory. With --many F
it generates a git work tree of F files of some 5 KB (in the index, without
their objects), and times, alternating, morek --check -c 8 4 . with -j 1,
with -j 2 and with a job a processor, against find | xargs -P 2 of morek -j 1
--check -c 8 4 on batches of 1,000 files, and git ls-files alone.

--many-only times the work tree of --many F alone.

--peer DIR times the morek of another build (such as one with every POSIX
fallback forced) doing the same -i right after the first, round after round,
and reports its ratio to it; --in-place-only times the two -i alone.

As root it works on a new journaled ext4 filesystem in a loop-mounted image
(in /var/tmp), the usual kind of filesystem; --here DIR works in DIR instead.
On ext4 without a journal the kernel checks every new inode against the
recently deleted ones, so that creating thousands of files in a directory
group soon after deleting as many costs time that grows with their square.
"""
import argparse
import contextlib
import os
import resource
import shutil
import statistics
import subprocess
import tempfile
import time


def sh(cmd):
    subprocess.run(cmd, shell=True, check=True, executable="/bin/bash")


def timed(cmd, ok=(0,)):
    start = time.perf_counter()
    proc = subprocess.run(cmd, shell=True, executable="/bin/bash")
    wall = time.perf_counter() - start
    if proc.returncode not in ok:
        raise SystemExit(f"failed ({proc.returncode}): {cmd}")
    return wall


@contextlib.contextmanager
def place(args):
    """Where the files go: --here, or a fresh journaled ext4 image as root."""
    if args.here or os.geteuid() != 0 or shutil.which("mkfs.ext4") is None:
        yield args.here or os.environ.get("TMPDIR", "/var/tmp")
        return
    image = f"/var/tmp/morek-bench-{os.getpid()}.img"
    mount = tempfile.mkdtemp(prefix="morek-bench-mnt-")
    size = max(4, 3 * args.gb + 2) + (args.many * 8 * 1024 + 10**9 - 1) // 10**9
    # An inode for every 8 KB: the small files of --many need them.
    sh(f"truncate -s {size}G {image} && mkfs.ext4 -q -F -i 8192 {image} && mount -o loop {image} {mount}")
    try:
        yield mount
    finally:
        subprocess.run(["umount", mount])
        os.rmdir(mount)
        os.remove(image)


def filesystem(path):
    out = subprocess.run(["findmnt", "-n", "-o", "FSTYPE,OPTIONS", "--target", path],
                         capture_output=True, text=True).stdout.strip()
    return out or "unknown filesystem"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--mb", type=int, default=100)
    ap.add_argument("--gb", type=int, default=1)
    ap.add_argument("--build", default="build/bench")
    ap.add_argument("--here", help="work in this directory, not in a new ext4 image")
    ap.add_argument("--many", type=int, default=0, help="files of a generated work tree for -j (0: none)")
    ap.add_argument("--peer", help="a second build whose morek -i is timed against the first")
    ap.add_argument("--in-place-only", action="store_true", help="time morek -i (and the peer's) alone")
    ap.add_argument("--many-only", action="store_true", help="only the work tree of --many F")
    args = ap.parse_args()

    morek = os.path.abspath(os.path.join(args.build, "morek"))
    gen = os.path.abspath(os.path.join(args.build, "morek_gen_source"))
    with place(args) as where, tempfile.TemporaryDirectory(prefix="morek-tree-", dir=where) as tmp:
        print(f"working in {where}: {filesystem(where)}")
        if args.many_only:
            many(args, morek, gen, tmp)
            return
        tree = os.path.join(tmp, "tree")
        work = os.path.join(tmp, "work")
        sh(f"{gen} {args.mb} --tree {tree}")
        files = sum(len(f) for _, _, f in os.walk(tree))
        size_mb = sum(os.path.getsize(os.path.join(d, n)) for d, _, f in os.walk(tree) for n in f) / 1e6

        def fresh():
            shutil.rmtree(work, ignore_errors=True)
            sh(f"cp -a {tree} {work} && sync")

        repo = os.path.join(tmp, "repo")
        # Five sections, as a repository of several kinds of file would have.
        with open(os.path.join(tree, ".editorconfig"), "w") as ec:
            ec.write("root = true\n\n[*]\nend_of_line = lf\ninsert_final_newline = true\n\n"
                     "[*.{c,h}]\nindent_style = tab\ntab_width = 8\n\n[*.py]\nindent_style = space\n"
                     "indent_size = 4\n\n[Makefile]\nindent_style = tab\n\n[*.{yml,yaml}]\n"
                     "indent_style = space\nindent_size = 2\n")
        sh(f"cp -a {tree} {repo} && cd {repo} && git init -q && git add -A && "
           f"git -c user.name=b -c user.email=b@b commit -qm tree && sync")
        in_repo = f"cd {repo} && "

        find = f"find {work} -name '*.c' -print0"
        old_pipeline = (
            f"{find} | xargs -0 -P 2 -I{{}} bash -o pipefail -c "
            f"'{morek} -c 8 4 \"$1\" | tr -d \"\\r\" > \"$1.morek\" && mv \"$1.morek\" \"$1\" "
            f"|| {{ rm -f \"$1.morek\"; exit 1; }}' _ {{}}")
        steps = [
            ("morek -i -c 8 4", True, f"{find} | xargs -0 {morek} -i -c 8 4", (0,)),
        ]
        if args.peer:
            peer = os.path.abspath(os.path.join(args.peer, "morek"))
            steps.append(("peer: morek -i -c 8 4", True, f"{find} | xargs -0 {peer} -i -c 8 4", (0,)))
        steps += [
            ("cp -a + sync", False, None, (0,)),
            ("per-file pipeline", True, old_pipeline, (0,)),
            ("morek --check -c 8 4", True, f"{find} | xargs -0 {morek} --check -c 8 4 > /dev/null", (0, 123)),
            ("cat", False, f"find {tree} -name '*.c' -print0 | xargs -0 cat > /dev/null", (0,)),
            ("repo: morek --check -c 8 4 .", False, in_repo + f"{morek} --check -c 8 4 . > /dev/null", (0, 1)),
            ("repo: find | xargs morek --check -c 8 4", False,
             in_repo + f"find . -name '*.c' -print0 | xargs -0 {morek} --check -c 8 4 > /dev/null", (0, 123)),
            ("repo: morek --diff -c 8 4 .", False, in_repo + f"{morek} --diff -c 8 4 . > /dev/null", (0, 1)),
            ("repo: morek --check --indent-only 8 8 .", False,
             in_repo + f"{morek} --check --indent-only 8 8 . > /dev/null", (0, 1)),
            ("repo: morek --check --editorconfig .", False,
             in_repo + f"{morek} --check --editorconfig . > /dev/null", (0, 1)),
        ]
        if args.in_place_only:
            steps = steps[:2 if args.peer else 1]
        walls = {name: [] for name, *_ in steps}
        for r in range(args.rounds):
            # The two builds' -i take turns at going first.
            order = steps if not args.peer or r % 2 == 0 else [steps[1], steps[0]] + steps[2:]
            for name, needs_copy, cmd, ok in order:
                if needs_copy:
                    fresh()
                if name == "cp -a + sync":
                    shutil.rmtree(os.path.join(tmp, "copy"), ignore_errors=True)
                    sh("sync")
                    cmd = f"cp -a {tree} {os.path.join(tmp, 'copy')} && sync"
                walls[name].append(timed(cmd, ok))
                sh("sync")

        med = {name: statistics.median(w) for name, w in walls.items()}
        print(f"tree: {files} files, {size_mb:.1f} MB; {args.rounds} alternating rounds, median wall time\n")
        print("| command | median s | range s | MB/s |")
        print("|---|---|---|---|")
        for name, *_ in steps:
            w = walls[name]
            print(f"| `{name}` | {med[name]:.3f} | {min(w):.3f}-{max(w):.3f} | {size_mb / med[name]:.0f} |")
        if args.peer:
            ratios = sorted(p / m for p, m in zip(walls["peer: morek -i -c 8 4"], walls["morek -i -c 8 4"]))
            print(f"\npeer ({args.peer}) ÷ morek -i: {med['peer: morek -i -c 8 4'] / med['morek -i -c 8 4']:.2f} "
                  f"(round by round {ratios[0]:.2f}-{ratios[-1]:.2f})")
        if args.in_place_only:
            return
        print("\nheld to:")
        print(f"  morek -i ÷ (cp -a + sync): {med['morek -i -c 8 4'] / med['cp -a + sync']:.2f} (at most 1.5)")
        print(f"  per-file pipeline ÷ morek -i: {med['per-file pipeline'] / med['morek -i -c 8 4']:.1f} (at least 15)")
        print(f"  morek --check ÷ cat: {med['morek --check -c 8 4'] / med['cat']:.2f} (at most 2)")
        check_dir = med["repo: morek --check -c 8 4 ."]
        print(f"  morek --check . ÷ find | xargs morek --check: "
              f"{check_dir / med['repo: find | xargs morek --check -c 8 4']:.2f} (at most 1.1)")
        print(f"  morek --diff . ÷ morek --check .: {med['repo: morek --diff -c 8 4 .'] / check_dir:.2f} (at most 1.5)")
        print(f"  morek --check --editorconfig . ÷ morek --check --indent-only 8 8 .: "
              f"{med['repo: morek --check --editorconfig .'] / med['repo: morek --check --indent-only 8 8 .']:.2f}"
              f" (at most 1.3)")
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(os.path.join(tmp, "copy"), ignore_errors=True)

        if args.many > 0:
            many(args, morek, gen, tmp)

        if args.gb > 0:
            big = os.path.join(tmp, "big.c")
            sh(f"{gen} {args.gb * 1000} > {big} && sync")
            proc = subprocess.run(["/usr/bin/time", "-f", "%M %e", morek, "-i", "-c", "8", "4", big],
                                  stderr=subprocess.PIPE, check=True)
            peak, wall = proc.stderr.decode().split()[-2:]
            print(f"\nmorek -i -c 8 4 on one file of {os.path.getsize(big) / 1e9:.1f} GB: "
                  f"peak RSS {peak} KiB, {float(wall):.1f} s")


def many(args, morek, gen, tmp):
    """--check . over a work tree of many small files, one job and several."""
    tree = os.path.join(tmp, "many")
    sh(f"{gen} 1000000 --tree {tree} --units 1 --files {args.many}")
    # The index lists the files; their objects are not needed for that.
    sh(f"cd {tree} && git init -q && find . -path ./.git -prune -o -type f -print0 | "
       f"git update-index -z --add --info-only --stdin && sync")
    files = sum(len(f) for d, _, f in os.walk(tree) if "/.git" not in d and not d.endswith(".git"))
    size_mb = sum(os.path.getsize(os.path.join(d, n)) for d, _, f in os.walk(tree)
                  if "/.git" not in d and not d.endswith(".git") for n in f) / 1e6
    cores = len(os.sched_getaffinity(0))
    at = f"cd {tree} && "
    steps = [
        ("morek -j 1 --check -c 8 4 .", at + f"{morek} -j 1 --check -c 8 4 . > /dev/null", (1,)),
        ("morek -j 2 --check -c 8 4 .", at + f"{morek} -j 2 --check -c 8 4 . > /dev/null", (1,)),
        (f"morek --check -c 8 4 . (-j {cores})", at + f"{morek} --check -c 8 4 . > /dev/null", (1,)),
        ("find | xargs -P 2 morek -j 1 --check -c 8 4",
         at + f"find . -name '*.c' -print0 | xargs -0 -P 2 -n 1000 {morek} -j 1 --check -c 8 4 > /dev/null", (123,)),
        ("git ls-files", at + "git ls-files -z > /dev/null", (0,)),
    ]
    # Read once, so that every round finds the files in the page cache.
    sh(at + "git ls-files -z | xargs -0 cat > /dev/null")
    walls = {name: [] for name, *_ in steps}
    cpus = {name: [] for name, *_ in steps}  # user + system of everything the step ran
    for _ in range(args.rounds):
        for name, cmd, ok in steps:
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            walls[name].append(timed(cmd, ok))
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpus[name].append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
    med = {name: statistics.median(w) for name, w in walls.items()}
    print(f"\nwork tree: {files} files, {size_mb:.1f} MB, {cores} processors; "
          f"{args.rounds} alternating rounds, median wall time\n")
    print("| command | median s | range s | files/s | median CPU s (user + system) |")
    print("|---|---|---|---|---|")
    for name, *_ in steps:
        w = walls[name]
        print(f"| `{name}` | {med[name]:.3f} | {min(w):.3f}-{max(w):.3f} | {files / med[name]:.0f} "
              f"| {statistics.median(cpus[name]):.2f} |")
    print(f"\nload average at the end: {os.getloadavg()[0]:.1f} (a busy machine shares its processors)")
    one, two = "morek -j 1 --check -c 8 4 .", "morek -j 2 --check -c 8 4 ."
    rounds = [a / b for a, b in zip(walls[one], walls[two])]
    print("\nheld to:")
    print(f"  -j 1 ÷ -j 2: {med[one] / med[two]:.2f} (at least 1.8 on 2 processors); "
          f"round by round {min(rounds):.2f}-{max(rounds):.2f}")
    xargs = "find | xargs -P 2 morek -j 1 --check -c 8 4"
    print(f"  find | xargs -P 2 ÷ -j 2: {med[xargs] / med[two]:.2f}")
    shutil.rmtree(tree, ignore_errors=True)


if __name__ == "__main__":
    main()
