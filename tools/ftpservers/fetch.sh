#!/usr/bin/env bash
# Puts the FTP servers of the client's compatibility tests into <dest>:
#   <dest>/root/usr/sbin/{vsftpd,pure-ftpd,proftpd}, <dest>/root/usr/bin/pure-pw and proftpd's
#   TLS module <dest>/root/usr/lib/proftpd/mod_tls.so
# Their Debian packages conflict with each other, so they are unpacked (apt-get download +
# dpkg -x), never installed; their runtime libraries and pyftpdlib are installed with apt-get.
# Idempotent: a second run with the same package versions only checks and returns.
set -euo pipefail

dest=${1:?usage: fetch.sh <dest folder>}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)

packages=(vsftpd pure-ftpd pure-ftpd-common proftpd-core proftpd-mod-crypto)
# Libraries the unpacked servers load that a plain Debian 12 lacks, and the Python server with
# its TLS support.
runtime=(libwrap0 libpcre2-posix3 libhiredis0.14 libmemcached11 libmemcachedutil2
         libsodium23 libpam-modules openssl python3-pyftpdlib python3-openssl)

stamp="$dest/.fetched"
want="${packages[*]} | ${runtime[*]}"

missing_runtime() {
    local installed p
    installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${runtime[@]}" 2>/dev/null \
        | awk '$NF == "installed" { print $1 }')
    for p in "${runtime[@]}"; do
        grep -qx "$p" <<<"$installed" || echo "$p"
    done
}

binaries_present() {
    [ -x "$dest/root/usr/sbin/vsftpd" ] && [ -x "$dest/root/usr/sbin/pure-ftpd" ] \
        && [ -x "$dest/root/usr/bin/pure-pw" ] && [ -x "$dest/root/usr/sbin/proftpd" ] \
        && [ -f "$dest/root/usr/lib/proftpd/mod_tls.so" ]
}

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && binaries_present \
    && [ -z "$(missing_runtime)" ]; then
    exit 0
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

need=$(missing_runtime)
if [ -n "$need" ]; then
    # shellcheck disable=SC2086
    if ! DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends $need >/dev/null; then
        "${as_root[@]}" apt-get update -q >/dev/null
        # shellcheck disable=SC2086
        DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends $need >/dev/null
    fi
fi

debs="$dest/debs"
rm -rf "$debs" "$dest/root"
mkdir -p "$debs" "$dest/root"
# apt's download user may not write into the build tree; this folder is ours alone.
chmod 777 "$debs"
if ! (cd "$debs" && apt-get download -q "${packages[@]}" >/dev/null 2>&1); then
    "${as_root[@]}" apt-get update -q >/dev/null
    (cd "$debs" && apt-get download -q "${packages[@]}" >/dev/null)
fi
for deb in "$debs"/*.deb; do
    dpkg -x "$deb" "$dest/root"
done
rm -rf "$debs"
binaries_present
echo "$want" >"$stamp"
echo "FTP servers unpacked into $dest/root"
