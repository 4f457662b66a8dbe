#!/usr/bin/env bash
# valgrind memcheck finds nothing in representative runs of the tool.
set -euo pipefail
morek=$1
sample=$2
if ! command -v valgrind >/dev/null; then
  echo "valgrind is not installed: skipped"
  exit 0
fi
check() {
  valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite "$@" >/dev/null 2>/tmp/morek-memcheck.$$ || {
    rc=$?
    if [ "$rc" = 99 ]; then cat /tmp/morek-memcheck.$$; rm -f /tmp/morek-memcheck.$$; exit 1; fi
  }
  rm -f /tmp/morek-memcheck.$$
}
check "$morek" 8 4 "$sample"
check "$morek" -ct 4 8 "$sample"
check "$morek" -b256 -c 3 5 "$sample"
printf '%0600d\n' 0 | check "$morek" 8 4
check "$morek" -usage
check "$morek" 0 4
echo "memcheck: clean"
