#!/usr/bin/env bash
# Runs every fuzz target of a sanitizer build (make fuzz): run-fuzz.sh BUILD_DIR LIBFUZZER_ARGS...
# Each starts from the committed seeds; what it learns stays in BUILD_DIR/fuzz/. Prints
# `name: value` lines of executions and crashes per target; exits 1 when any target crashed.
set -euo pipefail
build_dir=$(cd "$1" && pwd)
shift
seeds=$(cd "$(dirname "$0")/.." && pwd)/tests/fuzz/corpus
status=0
for target in "$build_dir"/tests/fuzz/fuzz_*; do
    if [ ! -f "$target" ] || [ ! -x "$target" ]; then continue; fi
    name=${target##*/fuzz_}
    work=$build_dir/fuzz/$name
    rm -rf "$work/crashes"
    mkdir -p "$work/corpus" "$work/crashes"
    code=0
    "$target" "$@" -print_final_stats=1 -artifact_prefix="$work/crashes/" \
        "$work/corpus" "$seeds/$name" >"$work/log" 2>&1 || code=$?
    executions=$(grep -o 'number_of_executed_units: [0-9]*' "$work/log" | tail -1 | grep -o '[0-9]*$' || true)
    crashes=$(find "$work/crashes" -type f | wc -l)
    echo "fuzz_${name}_executions: ${executions:-unknown}"
    echo "fuzz_${name}_crashes: $crashes"
    if [ "$code" -ne 0 ]; then
        status=1
        grep -E 'ERROR|SUMMARY|Test unit written|^ +#[0-9]+ ' "$work/log" | head -20 >&2 || true
    fi
done
exit $status
