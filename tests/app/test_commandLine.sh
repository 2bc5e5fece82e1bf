#!/usr/bin/env bash
# The command line as a shell user meets it, and a start that stays quiet when a shipped icon is
# broken. Usage: test_commandLine.sh PATH_TO_QUAYMETER VERSION
set -uo pipefail
program=$1 version=$2
fail() { echo "FAIL: $*"; exit 1; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
export XDG_RUNTIME_DIR=$prefix QT_QPA_PLATFORM=offscreen

# Help, version and usage errors need no display; Qt's own options are left to Qt.
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"; }
out=$(headless --help) || fail "--help: $?"
[[ $out == "Usage: $(basename "$program") "*"[PORT]"* ]] || fail "--help printed: $out"
out=$(headless -platform offscreen --version)
[[ $out == "Quaymeter $version" ]] || fail "--version printed: $out"
for wrong in --bogus -x "1 2"; do
    err=$(headless $wrong 2>&1 >/dev/null)
    code=$?
    [[ $code == 2 && $err == *"Usage: "* ]] || fail "$wrong: exit $code, printed: $err"
done

# A program whose icon files are broken starts with the default icon and says nothing.
icon=$(echo "$(dirname "$program")"/share/icons/hicolor/512x512/apps/*.png)
mkdir -p "$prefix/bin" "$prefix/share/quaymeter" "$prefix/share/icons/hicolor/16x16/apps"
cp "$program" "$prefix/bin/"
head -c 100 "$icon" >"$prefix/share/icons/hicolor/16x16/apps/$(basename "$icon")"
out=$(XDG_DATA_DIRS=$prefix/none timeout 5 "$prefix/bin/$(basename "$program")" 2>&1)
[[ $? == 124 && -z $out ]] || fail "with a broken icon it printed: $out"
echo "command line: all checks passed"
