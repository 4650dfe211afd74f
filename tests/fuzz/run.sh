#!/usr/bin/env bash
# Runs every fuzz target of a build for a number of seconds each, starting
# from its committed corpus; new inputs go to a scratch folder of the build.
# KIVOL_FUZZ_JOBS targets run at a time (default 1), niced, so that the
# machine stays usable. Any crash, leak, time-out or memory blow-up fails the
# run; the input that caused it is kept under <build>/fuzz-artifacts/<target>/.
#   tests/fuzz/run.sh <build dir> [seconds per target]
set -euo pipefail
build="$1"
seconds="${2:-60}"
jobs="${KIVOL_FUZZ_JOBS:-1}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# Five frames of every allocation's stack instead of thirty: recording them is
# a quarter of a run's time, and a crash's own stack is still whole.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:malloc_context_size=5"
export LSAN_OPTIONS="suppressions=$here/../support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_one() {  # target name
  local name="$1"
  local scratch="$build/fuzz-scratch/$name" artifacts="$build/fuzz-artifacts/$name" log="$build/fuzz-logs/$name.log"
  mkdir -p "$scratch" "$artifacts" "$(dirname "$log")"
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096
                 -print_final_stats=1 -artifact_prefix="$artifacts/")
  [ -f "$here/$name.dict" ] && options+=(-dict="$here/$name.dict")
  if nice -n 10 "$build/bin/fuzz_$name" "${options[@]}" "$scratch" "$here/corpus/$name" >"$log" 2>&1; then
    echo "fuzz $name: clean for ${seconds}s, $(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs" \
         "($(grep -m1 '^stat::average_exec_per_sec' "$log" | awk '{print $2}')/s), scratch corpus $(ls "$scratch" | wc -l) inputs"
  else
    echo "fuzz $name: FAILED, see $log; inputs in $artifacts" >&2
    grep -E 'ERROR|invariant|SUMMARY' "$log" | head -5 >&2 || true
    return 1
  fi
}

failed=0
running=0
for source in "$here"/*_fuzzer.cpp; do
  name="$(basename "$source" _fuzzer.cpp)"
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
