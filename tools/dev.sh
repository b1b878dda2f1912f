#!/usr/bin/env bash
# Developer entry point: installs what the build needs, builds, and runs the program or the tests.
#   tools/dev.sh run    build and start Larkspire
#   tools/dev.sh test   build with sanitizers and run every test through CTest
#   tools/dev.sh deps   only install the Debian packages
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

# Build and test dependencies, all from Debian 12.
packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev
    python3-pyftpdlib python3-openssl libssl-dev openssl curl util-linux clang-format
    libsodium-dev desktop-file-utils xdg-user-dirs
    dbus-daemon dbus-bin dunst xvfb
    fonts-crosextra-carlito fonts-yanone-kaffeesatz fonts-comfortaa fonts-play fonts-lobster
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
    local missing=()
    for p in "${packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"
    fi
}

# The pids of the program's processes whose environment holds the line MARK: the copies one run
# started, the installed copy and the copies it starts included, since each inherits it.
copies_with() {
    local mark="$1" dir exe environment
    for dir in /proc/[0-9]*; do
        exe="$(readlink "$dir/exe" 2>/dev/null)" || continue
        exe="${exe% (deleted)}"
        case "${exe##*/}" in
        Larkspire | LarkspireUpdate) ;;
        *) continue ;;
        esac
        environment="$(tr '\0' '\n' <"$dir/environ" 2>/dev/null)" || continue
        if [[ $'\n'"$environment"$'\n' == *$'\n'"$mark"$'\n'* ]]; then
            echo "${dir#/proc/}"
        fi
    done
    return 0
}

# build DIR [TARGET...] [-- CMAKE-ARGS...]: every target when none is named.
build() {
    local dir="$1"
    shift
    local targets=()
    while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
        targets+=(--target "$1")
        shift
    done
    [ "${1:-}" = "--" ] && shift
    cmake -S "$top" -B "$dir" "$@"
    cmake --build "$dir" -j "$jobs" "${targets[@]}"
}

case "${1:-}" in
deps)
    install_packages
    ;;
run)
    install_packages
    # Only the program and its data folder: the tests are not needed to run it.
    build "$top/build" Larkspire larkspire_assets -- -DCMAKE_BUILD_TYPE=RelWithDebInfo
    port="${LARKSPIRE_DEMO_PORT:-2121}"
    server=""
    # Start the demo server unless one already listens there; stop it when the last copy of the
    # program started here ends.
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        /usr/bin/python3 "$top/tools/demo-server.py" --port "$port" 2>>"${TMPDIR:-/tmp}/larkspire-demo.log" &
        server=$!
        trap 'kill "$server" 2>/dev/null || true' EXIT
        for _ in $(seq 50); do
            (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
            sleep 0.1
        done
    fi
    # A first start installs the program elsewhere, starts the installed copy and ends; that copy
    # and those it starts (an update) carry this mark, and the server stays while one of them runs.
    mark="LARKSPIRE_DEV_RUN=$$"
    status=0
    # The connectivity probe asks the settings server unless LARKSPIRE_PROBE_URL says otherwise.
    env "$mark" LARKSPIRE_SETTINGS_SERVER="${LARKSPIRE_SETTINGS_SERVER:-127.0.0.1:$port}" \
        "$top/build/bin/Larkspire" || status=$?
    if [ -n "$server" ]; then
        told=""
        while copies="$(copies_with "$mark")" && [ -n "$copies" ]; do
            if [ -z "$told" ]; then
                echo "Larkspire goes on (pid ${copies//$'\n'/, }); the demo server on" \
                    "127.0.0.1:$port stays until it ends. Ctrl+C stops the server now."
                told=1
            fi
            sleep 2
        done
    fi
    exit "$status"
    ;;
test)
    install_packages
    if [ -x "$top/tools/ftpservers/fetch.sh" ]; then
        "$top/tools/ftpservers/fetch.sh" "$top/build-test/ftpservers"
    fi
    build "$top/build-test" -- -DCMAKE_BUILD_TYPE=Debug -DLARKSPIRE_SANITIZE=ON
    # Qt and fontconfig keep caches for the life of the process; leaks there are not ours.
    export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    cd "$top/build-test"
    ctest --output-on-failure -j "$jobs"
    ;;
*)
    echo "usage: $0 run|test|deps" >&2
    exit 2
    ;;
esac
