#!/usr/bin/env bash
# Starts a throw-away X desktop (Xvfb, openbox, trayer), runs a program in it and takes a
# screenshot of the whole screen:  tools/desktop-shot.sh out.png [seconds] -- program args...
# The display stays up while the program runs; both end when the screenshot is taken unless
# KEEP_DESKTOP=1, in which case the display number is printed and everything keeps running.
set -euo pipefail
out="$1"
wait_s="${2:-4}"
shift 2
[ "${1:-}" = "--" ] && shift
display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
trayer --edge bottom --align right --widthtype request --heighttype pixel --height 32 \
    --tint 0x2F2F35 --transparent true --alpha 0 >/dev/null 2>&1 &
sleep 1
"$@" &
app=$!
sleep "$wait_s"
import -window root "$out"
if [ "${KEEP_DESKTOP:-0}" = 1 ]; then
    echo "DISPLAY=$display app=$app"
    trap - EXIT
    exit 0
fi
kill "$app" 2>/dev/null || true
pkill -P $$ 2>/dev/null || true
