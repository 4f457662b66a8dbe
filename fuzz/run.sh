#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for a while:
#   fuzz/run.sh [seconds per target, default 20]
# New inputs go to a scratch folder; the seeds in fuzz/corpus/ stay as they are.
# A crash or a failed property stops the run and leaves its input in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-20}
cmake --workflow --preset fuzz >/dev/null
for target in passes errmsg strings editorconfig lexer; do
  scratch=$(mktemp -d)
  echo "== fuzz_$target for ${secs}s"
  build/fuzz/fuzz_$target -max_total_time="$secs" -print_final_stats=0 -artifact_prefix="build/fuzz/$target-" \
    "$scratch" "fuzz/corpus/$target" 2>&1 | grep -E '^(Done|INFO: seed corpus)|ERROR|property|SUMMARY' || true
  status=${PIPESTATUS[0]}
  rm -rf "$scratch"
  if [ "$status" != 0 ]; then
    echo "fuzz_$target failed (status $status)"
    exit 1
  fi
done
