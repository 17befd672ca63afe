#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, the "fuzz" preset: clang with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for SECONDS
# (default 60) from its seed corpus in fuzz/corpus/. The runs work on a copy
# of the corpus under build/fuzz/run/, so the repository's stays as it is.
# Exits non-zero when a target crashes or finds a broken rule, and says
# which, with the input that did it. Installs what it needs first.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
# (libFuzzer takes 0 for no limit.)
case "$seconds" in
  '' | *[!0-9]* | 0 | 0*) echo "usage: scripts/fuzz.sh [SECONDS], at least 1" >&2; exit 2 ;;
esac

scripts/deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# Stack traces with file and line.
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer" UBSAN_SYMBOLIZER_PATH="$symbolizer"

status=0
for target in name_fuzzer ports_fuzzer; do
  run="build/fuzz/run/$target"
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/crashes"
  cp fuzz/corpus/"$target"/* "$run/corpus/"
  echo "--- $target: ${seconds} s from $(ls fuzz/corpus/"$target" | wc -l) seed(s)"
  # -timeout: one name or port list taking seconds is a fault too.
  if "build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$run/crashes/" "$run/corpus" >"$run/log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log")
    echo "$target: passed, ${runs:-?} inputs run, corpus $(ls "$run/corpus" | wc -l) file(s)"
  else
    status=1
    echo "$target: FAILED (log: $run/log)" >&2
    # The target's own message, or the sanitizer's summary.
    { grep -A2 "^$target: " "$run/log" || true
      grep -E "^SUMMARY: |ERROR: libFuzzer: (timeout|out-of-memory)" "$run/log" || true
    } | head -n 6 >&2
    for input in "$run"/crashes/*; do
      [ -e "$input" ] && echo "  input: $input (run again: build/fuzz/$target $input)" >&2
    done
  fi
done
exit $status
