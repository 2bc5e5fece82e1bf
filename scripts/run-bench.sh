#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints `name: value` lines.
set -euo pipefail
build_dir=${1:-build}
for b in "$build_dir"/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] && "$b"
done
