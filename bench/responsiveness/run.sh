#!/usr/bin/env bash
# The window thread's longest stall while the program works with the server: a 10 ms timer on
# the window thread of a complete client records how late each timeout fires, while the client
# is driven with input events against the demo server (python3-pyftpdlib). One row each for the
# first and the steady poll cycles over 100 conversations of 1 MiB, a sign-in against a server
# that accepts and never answers, and a 200 MiB file dropped on the main window. About 5 min.
#     bench/responsiveness/run.sh [poll] [silent] [drop]      (all when none is named)
# Server trees and the dropped file live in LARKSPIRE_BENCH_TMP (default /dev/shm).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${LARKSPIRE_BENCH_BUILD:-$top/build-bench}
export TMPDIR=${LARKSPIRE_BENCH_TMP:-/dev/shm}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export QT_LOGGING_RULES="larkspire.*.debug=false;larkspire.*.info=false"
# A build folder configured before keeps its build type and tests.
fresh=()
[[ -f "$build/CMakeCache.txt" ]] || fresh=(-DCMAKE_BUILD_TYPE=Release -DLARKSPIRE_TESTS=OFF)
cmake -S "$top" -B "$build" -DLARKSPIRE_BENCH=ON "${fresh[@]}" >/dev/null
cmake --build "$build" --target responsivenessbench -j "${LARKSPIRE_BENCH_JOBS:-2}" >/dev/null
exec "$build/bench/responsiveness/responsivenessbench" "$@"
