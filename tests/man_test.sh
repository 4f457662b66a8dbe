#!/usr/bin/env bash
# The manual page renders without a single warning.
set -euo pipefail
warnings=$(groff -man -ww -Tutf8 "$1" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  echo "$warnings"
  exit 1
fi
echo "manual page: no warnings"
