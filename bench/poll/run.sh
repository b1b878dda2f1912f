#!/usr/bin/env bash
# The poll cycle's cost: one client against the demo server, with 10, 100 and 1000
# correspondents whose conversations are 10 KiB or 1 MiB. Prints the wall time of a first cycle
# (nothing seen yet: everything is new) and of a steady one (nothing changed), and the bytes a
# cycle downloads.   bench/poll/run.sh [users...]
# The data (up to about 3 GB for 1000 x 1 MiB) lives in /dev/shm unless LARKSPIRE_BENCH_TMP says
# otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${LARKSPIRE_BENCH_BUILD:-$top/build-bench}
tmp=$(mktemp -d "${LARKSPIRE_BENCH_TMP:-/dev/shm}/larkspire-pollbench.XXXXXX")
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

export QT_LOGGING_RULES="larkspire.*.debug=false;larkspire.*.info=false"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLARKSPIRE_BENCH=ON -DLARKSPIRE_TESTS=OFF >/dev/null
cmake --build "$build" --target pollbench -j "$(nproc)" >/dev/null

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
/usr/bin/python3 "$top/tools/demo-server.py" --port "$port" --data "$tmp/demo" 2>"$tmp/server.log" &
server=$!
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

users_list=("${@:-10 100 1000}")
# shellcheck disable=SC2068
for users in ${users_list[@]}; do
    for size in 10240 1048576; do
        tree="$tmp/demo/main/netwrk/users"
        rm -rf "$tree" "$tmp/work"
        mkdir -p "$tree/Me"
        /usr/bin/python3 - "$tree" "$users" "$size" <<'PY'
import os, sys
tree, users, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
lines = ["}Me}}}.png}eng/"] + ["}Peer%04d}}}.png}eng/" % i for i in range(users)]
open(os.path.join(tree, "lineup.xo"), "wb").write(("\r\n".join(lines) + "\r\n").encode())
entry = b"Peer     07.03.2026     14:05:07 :\r\n" + b"x" * 70 + b"\r\n\r\n"
body = (entry * (size // len(entry) + 1))[:size]
for i in range(users):
    open(os.path.join(tree, "Me", "Peer%04d.ms" % i), "wb").write(body)
PY
        "$build/bench/poll/pollbench" "127.0.0.1:$port" "$users" "$size" "$tmp/work"
    done
done
