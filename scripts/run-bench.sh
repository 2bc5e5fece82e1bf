#!/usr/bin/env bash
# Runs the built benchmarks; each prints `name: value` lines. Start-up is measured in real
# windows, so they all run on a virtual display.
set -euo pipefail
build_dir=${1:-build}
if [ -z "${QUAYMETER_BENCH_DISPLAY:-}" ]; then
    QUAYMETER_BENCH_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build_dir"
fi
for b in "$build_dir"/bench/bench_*; do
    # Build folders share the prefix: only executable files are benchmarks.
    if [ -f "$b" ] && [ -x "$b" ]; then
        "$b"
    fi
done
