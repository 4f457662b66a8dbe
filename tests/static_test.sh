#!/usr/bin/env bash
# The static program loads no shared library, and works from an empty
# directory with an empty environment: the filter (UTF-8 widths included),
# -i, and a walk of a directory.
set -euo pipefail
morek=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
if loads=$(ldd "$morek" 2>&1); then
  echo "ldd finds libraries for morek to load:"
  echo "$loads"
  exit 1
fi
grep -q "not a dynamic executable" <<<"$loads" || { echo "ldd: $loads"; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/empty" "$scratch/tree"
cd "$scratch/empty"
bare() { env -i "$morek" "$@"; }
same() {  # what a run wrote, and what it should have, byte for byte
  [ "$(od -An -c <"$1")" = "$(printf "$2" | od -An -c)" ] || { echo "$3: $(od -An -c <"$1")"; exit 1; }
}

# 中 is two columns wide: three spaces after it end at column 5.
printf '\xe4\xb8\xad   x\n\tx\n' >"$scratch/in"
bare --utf8 8 4 <"$scratch/in" >"$scratch/out"
same "$scratch/out" '\xe4\xb8\xad\t x\r\n\t\tx\r\n' "the filter wrote"

printf '\tx\n' >"$scratch/tree/a.c"
printf 'x\n' >"$scratch/tree/b.c"
bare -i 8 4 "$scratch/tree/a.c"
same "$scratch/tree/a.c" '\t\tx\n' "-i made"
printf '\tx\n' >"$scratch/tree/a.c"
status=0
bare --check 8 4 ../tree >"$scratch/out" 2>"$scratch/err" || status=$?
[ "$status" = 1 ] || { echo "--check of a directory ended with $status: $(cat "$scratch/err")"; exit 1; }
same "$scratch/out" '../tree/a.c\n' "--check named"
[ -z "$(ls -A "$scratch/empty")" ] || { echo "left in the empty directory: $(ls -A "$scratch/empty")"; exit 1; }
echo "static: ok"
