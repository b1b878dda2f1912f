#!/usr/bin/env bash
# The FTP client's benchmark: ours against the curl command line on one vsftpd on loopback, in
# plain FTP and over TLS (vsftpd with a throwaway certificate requiring session reuse on data
# connections, curl with --ssl-reqd -k).
#   bench/ftp/run.sh [--runs N] [--big-mib N]        the figures (default 3 runs, 512 MiB)
#   bench/ftp/run.sh buffers [--runs N] [--big-mib N] download/upload time per buffer size
# Needs root (vsftpd logs in a system user) and curl. The files (about 1.2 GB) live in /dev/shm
# so that the figures compare the clients, not the disk's writeback; LARKSPIRE_BENCH_TMP picks
# another folder. Builds into build-ftp-bench/ and unpacks the servers into
# build-ftp-bench/ftpservers/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${LARKSPIRE_BENCH_BUILD:-$top/build-ftp-bench}
mode=compare
if [ "${1:-}" = buffers ] || [ "${1:-}" = compare ]; then
    mode=$1
    shift
fi

"$top/tools/ftpservers/fetch.sh" "$build/ftpservers" >/dev/null
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DLARKSPIRE_FTPSERVERS_DIR="$build/ftpservers" >/dev/null
cmake --build "$build" --target ftpbench -j"$(nproc)" >/dev/null
TMPDIR=${LARKSPIRE_BENCH_TMP:-/dev/shm} exec "$build/ftpbench" "$mode" "$@"
