#!/usr/bin/env bash
# Sends into one conversation under what a real network does, on the tests' faulty pyftpdlib
# server: rows loopback, delay30 (30 ms per command), kill (a writer process killed mid-send in a
# 1 MB conversation, then restarted), slowlink (5 KB/s up, 40 KB/s down), restart (the server
# killed and started again) and readfaults (downloads cut short or broken). Prints one Markdown
# table: sends failed and given up, messages lost (and of those reported sent), duplicated,
# copies cut, the estimated lock wait and the longest send; then what it found, with the seed.
#   bench/race/run.sh [--rows a,b] [--trials N] [--retry-header same|new] [--seed S] [--verbose]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${LARKSPIRE_BENCH_BUILD:-$top/build-bench}
export QT_LOGGING_RULES="larkspire.*.debug=false;larkspire.*.info=false"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLARKSPIRE_BENCH=ON -DLARKSPIRE_TESTS=OFF >/dev/null
cmake --build "$build" --target racebench -j "${LARKSPIRE_BENCH_JOBS:-2}" >/dev/null
exec "$build/bench/race/racebench" "$@"
