#!/usr/bin/env bash
# Two clients each send one message to one conversation at gaps of 0 to 500 ms, 100 trials per
# configuration (loopback and 30 ms per reply; conversations of 2 KB and 1 MB), and count the
# messages lost, duplicated and cut.   bench/race/run.sh [racebench options]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${LARKSPIRE_BENCH_BUILD:-$top/build-bench}
export QT_LOGGING_RULES="larkspire.*.debug=false;larkspire.*.info=false"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLARKSPIRE_BENCH=ON -DLARKSPIRE_TESTS=OFF >/dev/null
cmake --build "$build" --target racebench -j "${LARKSPIRE_BENCH_JOBS:-2}" >/dev/null
exec "$build/bench/race/racebench" "$@"
