#!/usr/bin/env bash
# wine-session.sh start|stop: an Xvfb display and a persistent wineserver for one run.
# "start" prints the variables to export (eval it); "stop" ends both by their process ids.
set -euo pipefail
. "$(dirname "$0")/env.sh"
state=$KOVA_BUILD/wine-session

case "${1:-}" in
start)
    mkdir -p "$state"
    "$(dirname "$0")/wine-prefix.sh"
    # A display number nobody uses, so that parallel runs on one machine do not collide.
    n=$(( 90 + RANDOM % 400 ))
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    [ -e "/tmp/.X11-unix/X$n" ] || { echo "wine-session: Xvfb :$n did not start" >&2; exit 1; }
    export DISPLAY=":$n"
    wineserver -p >/dev/null 2>&1 </dev/null
    pgrep -n -f "wineserver -p" >"$state/wineserver.pid" 2>/dev/null || true
    # Start the prefix's services now, detached from any pipe of ours.
    wineboot >/dev/null 2>&1 </dev/null
    echo "export DISPLAY=:$n"
    ;;
stop)
    wineserver -k >/dev/null 2>&1 || true
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid"
    fi
    rm -f "$state/wineserver.pid"
    ;;
*)
    echo "usage: wine-session.sh start|stop" >&2; exit 2 ;;
esac
