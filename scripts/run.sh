#!/usr/bin/env bash
# Sets up the machine, builds, and runs Kova under Wine with the development EMSC.dll
# (the radio state lives in the substitute's state file; change it with emscdev.exe).
# Uses the display in DISPLAY when there is one, else a private virtual display.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/env.sh"

"$here/install-deps.sh"
"$here/build.sh"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    "$here/wine-prefix.sh"
else
    eval "$("$here/wine-session.sh" start $$)"
    trap '"$here/wine-session.sh" stop $$' EXIT
fi

bin=$KOVA_BUILD/bin
if [ -f "$bin/Kova.exe" ]; then
    echo "Kova is running on display $DISPLAY; quit it from its tray menu or with: wine $bin/Kova.exe Close"
    wine "$bin/Kova.exe" "$@"
else
    echo "Kova.exe is not built yet; the development EC library reports:"
    wine "$bin/emscdev.exe" get
fi
