#!/usr/bin/env bash
# The poll cycle's cost: one client against pyftpdlib and vsftpd (vsftpd needs root and
# tools/ftpservers/fetch.sh), with 10, 100 and 1000 correspondents whose conversations are
# 10 KiB or 1 MiB. Each row is one fresh server and client:
#   floor   one login, folder change and listing by the client (median of 5), ms
#   listing the size of that listing (what a steady cycle needs to move), bytes
#   first   the first cycle (nothing seen yet: everything is new), ms
#   steady  a cycle in which nothing changed (median of 3), ms
#   change  a cycle after a peer wrote one entry into one conversation, ms
#   bytes   file bytes downloaded by the first, a steady and the changed cycle
#   logins  logins of the first / steady / changed cycle; changed: conversations found changed
#   RSS     peak resident memory of the client process during the cycles (VmHWM after a
#           reset once the server tree is written), MiB
#     bench/poll/run.sh [users...]      e.g. bench/poll/run.sh 10 100
# LARKSPIRE_BENCH_SERVERS="pyftpdlib vsftpd" and LARKSPIRE_BENCH_SIZES="10240 1048576" narrow
# the table; LARKSPIRE_BENCH_STEADY=40 runs more steady cycles (for a profile). Server trees
# live in LARKSPIRE_BENCH_TMP (default /dev/shm).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${LARKSPIRE_BENCH_BUILD:-$top/build-bench}
export TMPDIR=${LARKSPIRE_BENCH_TMP:-/dev/shm}
export LARKSPIRE_FTPSERVERS_DIR=${LARKSPIRE_FTPSERVERS_DIR:-$top/build-test/ftpservers}
export LARKSPIRE_FTP_QUIET=1
export QT_LOGGING_RULES="larkspire.*.debug=false;larkspire.*.info=false"

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLARKSPIRE_BENCH=ON -DLARKSPIRE_TESTS=OFF >/dev/null
cmake --build "$build" --target pollbench -j "$(nproc)" >/dev/null

echo "| server    | users |    bytes | floor ms | listing B | first ms | steady ms | change ms | first bytes | steady bytes | change bytes | logins f/s/c | changed f/s/c | RSS MiB |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
users_list=("${@:-10 100 1000}")
# shellcheck disable=SC2068
for server in ${LARKSPIRE_BENCH_SERVERS:-pyftpdlib vsftpd}; do
    for users in ${users_list[@]}; do
        for size in ${LARKSPIRE_BENCH_SIZES:-10240 1048576}; do
            "$build/bench/poll/pollbench" "$server" "$users" "$size"
        done
    done
done
