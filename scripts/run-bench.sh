#!/usr/bin/env bash
# Runs the built benchmarks; each prints `name: value` lines.
set -euo pipefail
build_dir=${1:-build}
for b in "$build_dir"/bench/bench_*; do
    if [ -f "$b" ] && [ -x "$b" ]; then
        "$b"
    fi
done
