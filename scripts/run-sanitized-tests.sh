#!/usr/bin/env bash
# Runs the whole suite from the sanitizer build (make test-sanitize): AddressSanitizer,
# LeakSanitizer and UBSan abort a test on the first fault they see.
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
# Stacks unwound in full, so Qt's own leaks can be named by their Qt frames (scripts/lsan.supp).
export ASAN_OPTIONS=fast_unwind_on_malloc=0:detect_leaks=1
# Quiet unless something leaks: the program test reads its output for warnings.
export LSAN_OPTIONS=suppressions=$scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1
# No GL driver in the process: Mesa is unloaded before leaks are reported (leaving frames without
# names), and unwinding every allocation in full can deadlock inside it. The windows look the same
# on the software scene graph.
export QT_QUICK_BACKEND=software
exec bash "$scripts/run-tests.sh" "$@"
