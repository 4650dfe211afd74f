#!/usr/bin/env bash
# Runs every benchmark program of the given build directory. The arguments go
# to every program but solver_bench, which takes the number of random fields
# per size from KIVOL_SOLVER_FIELDS (default 1000; e.g. 100 for a short run).
set -euo pipefail
dir="$1"; shift || true
for b in "$dir"/bin/*_bench; do
  echo "== $(basename "$b")"
  if [ "$(basename "$b")" = solver_bench ]; then
    "$b" "${KIVOL_SOLVER_FIELDS:-1000}"
  else
    "$b" "$@"
  fi
done
