#!/usr/bin/env bash
# wine-session.sh start|stop OWNER_PID: one Xvfb display and one persistent wineserver
# for the prefix, shared by every run in this build tree that is going on at the same
# time. "start" prints the variables to export (eval it); the last "stop" ends both by
# their process ids. The lock's descriptor is kept from every process started here.
set -euo pipefail
. "$(dirname "$0")/env.sh"
state=$KOVA_BUILD/wine-session
owner=${2:-$PPID}

alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }
prune_users() {
    for f in "$state"/users/*; do
        [ -e "$f" ] || continue
        alive "$(basename "$f")" || rm -f "$f"
    done
}

mkdir -p "$state/users"
exec 9>"$state/lock"
flock 9

case "${1:-}" in
start)
    "$(dirname "$0")/wine-prefix.sh" 9>&-
    prune_users
    xpid=$(cat "$state/xvfb.pid" 2>/dev/null || true)
    n=$(cat "$state/display" 2>/dev/null || true)
    if ! alive "$xpid" || [ ! -e "/tmp/.X11-unix/X$n" ]; then
        # A display number nobody uses, so that runs in other trees do not collide.
        n=$(( 90 + RANDOM % 400 ))
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 </dev/null 9>&- &
        echo $! >"$state/xvfb.pid"
        echo "$n" >"$state/display"
        for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        [ -e "/tmp/.X11-unix/X$n" ] || { echo "wine-session: Xvfb :$n did not start" >&2; exit 1; }
    fi
    export DISPLAY=":$n"
    if ! alive "$(cat "$state/wineserver.pid" 2>/dev/null || true)"; then
        wineserver -k >/dev/null 2>&1 9>&- || true   # a server left on another display
        wineserver -p >/dev/null 2>&1 </dev/null 9>&-
        pgrep -n -x "wineserver.*" >"$state/wineserver.pid" 2>/dev/null ||
            pgrep -n wineserver >"$state/wineserver.pid" || true
        # Start the prefix's services now, detached from any pipe of ours.
        wineboot >/dev/null 2>&1 </dev/null 9>&-
    fi
    touch "$state/users/$owner"
    echo "export DISPLAY=:$n"
    ;;
stop)
    rm -f "$state/users/$owner"
    prune_users
    if [ -z "$(ls -A "$state/users")" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wspid=$(cat "$state/wineserver.pid" 2>/dev/null || true)
        alive "$wspid" && kill "$wspid" 2>/dev/null || true
        xpid=$(cat "$state/xvfb.pid" 2>/dev/null || true)
        alive "$xpid" && kill "$xpid" 2>/dev/null || true
        rm -f "$state/xvfb.pid" "$state/wineserver.pid" "$state/display"
    fi
    ;;
*)
    echo "usage: wine-session.sh start|stop [OWNER_PID]" >&2; exit 2 ;;
esac
