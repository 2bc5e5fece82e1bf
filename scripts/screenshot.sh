#!/usr/bin/env bash
# Writes PNGs of the window (idle, alert open, ...) into the build folder, on a virtual display,
# so anyone can look at the window without a desktop.
set -euo pipefail
build_dir=$(cd "${1:-build}" && pwd)
unset QT_QPA_PLATFORM
mkdir -p "$build_dir/screenshots"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build_dir/tools/quaymeter_screenshot" "$build_dir/screenshots"
