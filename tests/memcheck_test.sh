#!/usr/bin/env bash
# valgrind memcheck finds no error and no lost block in representative runs
# of the tool, on every way out: a normal end, a failure and the help table.
set -euo pipefail
morek=$1
sample=$2
if ! command -v valgrind >/dev/null; then
  echo "valgrind is not installed: skipped"
  exit 0
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
check() {
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible \
    --errors-for-leak-kinds=definite,indirect,possible "$@" >/dev/null 2>"$scratch/log" || {
    rc=$?
    if [ "$rc" = 99 ]; then cat "$scratch/log"; exit 1; fi
  }
}
check "$morek" 8 4 "$sample"
check "$morek" -ct 4 8 "$sample"
check "$morek" -b256 -c 3 5 "$sample"
check "$morek" --utf8 --eol=keep 8 4 "$sample"
printf '%0600d\n' 0 | check "$morek" 8 4
check "$morek" -usage
check "$morek" --help
check "$morek" 0 4
check "$morek" -x 8 4
cp "$sample" "$scratch/a.c"
cp "$sample" "$scratch/b.c"
check "$morek" --check -c 8 4 "$scratch/a.c" "$scratch/missing.c"
check "$morek" -i -c 8 4 "$scratch/a.c" "$scratch/b.c" "$scratch/missing.c"
echo "memcheck: clean"
