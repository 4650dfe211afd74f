#!/usr/bin/env bash
# Runs every benchmark program of the given build directory.
set -euo pipefail
dir="$1"; shift || true
for b in "$dir"/bin/*_bench; do
  echo "== $(basename "$b")"
  "$b" "$@"
done
