#!/usr/bin/env bash
# What an idle, signed-in client costs the shared server, and the program's start-up beside a
# bare Qt tray program. One client signs in, waits 130 s (the files its sign-in wrote are no
# longer recent then), and sits 120 s with its main window hidden and 120 s with it open,
# against the demo server's tree (tools/demo-server.py, with a command log) and against vsftpd
# (unpacked by tools/ftpservers/fetch.sh; skipped with a note when absent). Per minute:
# logins, commands, data connections and bytes of the main account (vsftpd's log holds no
# listing bytes), probe connections, keep-alives, update checks; poll ticks against cycles.
# Then the program and a bare tray program start in turn on Xvfb: time to the tray icon's dock
# request and resident memory 10 s after the start (median of alternating rounds).
# Targets: no login after the sign-in; per 15 s at most the commands of one listing plus two
# (a listing: PASV and MLSD where the server offers MLSD, else TYPE A, PASV, LIST and TYPE I);
# no probe connection while the main connection answers; cycles = ticks; start-up <= 1.3x and
# memory <= 1.5x the bare program. About 15 minutes.
#     bench/idle/run.sh [demo] [vsftpd] [startup]      (all when none is named)
# LARKSPIRE_IDLE_SECONDS and LARKSPIRE_IDLE_WARMUP shorten the phases and the wait,
# LARKSPIRE_IDLE_ROUNDS sets the start-up rounds, LARKSPIRE_IDLE_MEMORY_AT_MS when the memory is
# read (to sample many start-ups quickly),
# LARKSPIRE_BENCH_BUILD the build folder (default build-idle-rel, configured as Release).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${LARKSPIRE_BENCH_BUILD:-$top/build-idle-rel}
export TMPDIR=${LARKSPIRE_BENCH_TMP:-/dev/shm}
# The servers tools/ftpservers/fetch.sh unpacked into some build folder.
if [[ -z "${LARKSPIRE_FTPSERVERS_DIR:-}" ]]; then
    for d in "$top/build-test/ftpservers" "$top"/build-*/ftpservers; do
        [[ -x "$d/root/usr/sbin/vsftpd" ]] && { export LARKSPIRE_FTPSERVERS_DIR=$d; break; }
    done
fi
export QT_LOGGING_RULES="larkspire.*.debug=false;larkspire.*.info=false"
# vsftpd logs the protocol only when the fixture is not told to be quiet.
unset LARKSPIRE_FTP_QUIET
fresh=()
[[ -f "$build/CMakeCache.txt" ]] || fresh=(-DCMAKE_BUILD_TYPE=Release -DLARKSPIRE_TESTS=OFF)
cmake -S "$top" -B "$build" -DLARKSPIRE_BENCH=ON "${fresh[@]}" >/dev/null
cmake --build "$build" --target idlebench -j "${LARKSPIRE_BENCH_JOBS:-2}" >/dev/null
exec "$build/bench/idle/idlebench" "$@"
