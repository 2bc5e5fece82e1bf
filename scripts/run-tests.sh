#!/usr/bin/env bash
# Runs every test. Tests that open a real window or talk to the accessibility bus get
# a virtual display and a session bus of their own, so this works with no desktop.
set -euo pipefail
build_dir=${1:-build}
cd "$build_dir"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
    dbus-run-session -- ctest --output-on-failure --timeout 600 -j 2
