#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints `name: value` lines.
set -euo pipefail
build_dir=${1:-build}
for b in "$build_dir"/bench/bench_*; do
    # Build folders share the prefix: only executable files are benchmarks.
    if [ -f "$b" ] && [ -x "$b" ]; then
        "$b"
    fi
done
