#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for a while, as many at
# once as there are cores:
#   fuzz/run.sh [seconds per target, default 20]
# New inputs go to a scratch folder; the seeds in fuzz/corpus/ stay as they are.
# A crash or a failed property fails the run and leaves its input in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-20}
cmake --workflow --preset fuzz >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cores=$(getconf _NPROCESSORS_ONLN 2>/dev/null || echo 1)
targets=(passes errmsg strings editorconfig lexer)
run() {
  local target=$1
  mkdir "$work/$target.corpus"
  set +e
  build/fuzz/fuzz_$target -max_total_time="$secs" -print_final_stats=0 -artifact_prefix="build/fuzz/$target-" \
    "$work/$target.corpus" "fuzz/corpus/$target" >"$work/$target.log" 2>&1
  echo $? >"$work/$target.status"
}
for ((at = 0; at < ${#targets[@]}; at += cores)); do
  for target in "${targets[@]:at:cores}"; do
    run "$target" &
  done
  wait
done
failed=0
for target in "${targets[@]}"; do
  echo "== fuzz_$target for ${secs}s"
  grep -E '^(Done|INFO: seed corpus)|ERROR|property|SUMMARY' "$work/$target.log" || true
  status=$(cat "$work/$target.status")
  if [ "$status" != 0 ]; then
    echo "fuzz_$target failed (status $status)"
    failed=1
  fi
done
exit "$failed"
