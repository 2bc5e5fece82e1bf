#!/usr/bin/env bash
# Captures what the real tools print, as seeds for the fuzz targets in tests/fuzz/corpus/: lsof
# for real listeners (IPv4 and IPv6, several processes on one port, a name lsof escapes), the
# kernel's TCP tables while they listen, and /bin/kill's real answers. Run it as root on Debian
# when a tool changes; the seeds are committed.
set -euo pipefail
corpus=$(cd "$(dirname "$0")/.." && pwd)/tests/fuzz/corpus
lsof=$(command -v lsof)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

# A listener named $1 on port $2 (0: any) of family $3, for 60 seconds; prints its port.
listen() {
    python3 - "$@" <<'EOF' &
import ctypes, socket, sys, time
name, port, family = sys.argv[1], int(sys.argv[2]), sys.argv[3]
ctypes.CDLL(None).prctl(15, name.encode(), 0, 0, 0)
s = socket.socket(socket.AF_INET6 if family == "6" else socket.AF_INET)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)
s.bind(("::1" if family == "6" else "127.0.0.1", port))
s.listen()
print(s.getsockname()[1], flush=True)
time.sleep(60)
EOF
}

# run <target> <name> <command...>: the exit code's byte, standard output, NUL, standard error.
run() {
    local target=$1 name=$2
    shift 2
    mkdir -p "$corpus/$target"
    local code=0
    "$@" >"$work/out" 2>"$work/err" || code=$?
    { printf "\\$(printf '%03o' "$code")"; cat "$work/out"; printf '\0'; cat "$work/err"; } \
        >"$corpus/$target/$name"
}

listen node 0 4 >"$work/port" && sleep 1
port=$(head -1 "$work/port")
listen node "$port" 6 >/dev/null
listen 'Web Content' "$port" 4 >/dev/null
listen 'Grüße' "$port" 4 >/dev/null
sleep 1
run lsofOutput listeners "$lsof" -nP -iTCP:"$port" -sTCP:LISTEN
run lsofOutput free-port "$lsof" -nP -iTCP:1 -sTCP:LISTEN
run lsofOutput bad-port "$lsof" -nP -iTCP:99999 -sTCP:LISTEN
run lsofOutput unknown-service "$lsof" -nP -iTCP:abc -sTCP:LISTEN
run lsofOutput unknown-state "$lsof" -nP -iTCP:"$port" -sTCP:BOGUS
run lsofOutput not-allowed setpriv --reuid=65534 --regid=65534 --clear-groups \
    "$lsof" -nP -iTCP:"$port" -sTCP:LISTEN
mkdir -p "$corpus/kernelTcpTable"
cp /proc/net/tcp "$corpus/kernelTcpTable/tcp"
cp /proc/net/tcp6 "$corpus/kernelTcpTable/tcp6"

run killClassification killed /bin/kill -0 $$
run killClassification no-such-process /bin/kill 2147483647
run killClassification not-permitted setpriv --reuid=65534 --regid=65534 --clear-groups \
    /bin/kill -0 1
run killClassification not-a-pid /bin/kill abc
run killClassification unknown-signal /bin/kill -l 999
run killClassification utf8-argument /bin/kill 'Grüße'

# The runner's decoding sees the same bytes, whole streams at a time.
mkdir -p "$corpus/utf8"
for seed in "$corpus"/lsofOutput/* "$corpus"/killClassification/* "$corpus"/kernelTcpTable/*; do
    tail -c +2 "$seed" | tr -d '\0' >"$corpus/utf8/$(basename "$(dirname "$seed")")-$(basename "$seed")"
done
