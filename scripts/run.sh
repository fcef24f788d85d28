#!/usr/bin/env bash
# Sets up the machine, builds, and runs Kova under Wine with the development EMSC.dll.
#
# With a display (DISPLAY reachable) Kova simply runs there until it is quit. Without one,
# it runs on a private virtual display and this script plays the user: it opens each
# pop-up layout with the radio hot key, saves a screenshot of the tray icon and of every
# layout into build/screenshots (the mode pop-up and the notice also at 150 % and 200 %, the
# tray icon also for a light taskbar), and quits Kova again.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/env.sh"

"$here/install-deps.sh"
"$here/build.sh"

bin=$KOVA_BUILD/bin
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    "$here/wine-prefix.sh"
    echo "Kova runs on display $DISPLAY; quit it from its tray menu or with: wine $bin/Kova.exe Close"
    exec wine "$bin/Kova.exe" "$@"
fi

eval "$("$here/wine-session.sh" start $$)"
out=$KOVA_BUILD/screenshots
mkdir -p "$out"
export KOVA_EMSC_STATE='C:\windows\temp\kova-demo-state.bin'
cd "$bin"
w() { wine "$@" </dev/null 2>/dev/null; }
desktop='HKCU\Control Panel\Desktop'
personalize='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'
cleanup() {
    w Kova.exe Close || true
    w reg delete "$desktop" /v LogPixels /f >/dev/null || true
    w reg delete "$personalize" /v SystemUsesLightTheme /f >/dev/null || true
    "$here/wine-session.sh" stop $$
}
trap cleanup EXIT

shot() {   # shot NAME WIDTH HEIGHT X Y: the screen, and the part that shows the pop-up
    import -window root "$out/$1-screen.png"
    convert "$out/$1-screen.png" -crop "$2x$3+$4+$5" +repage "$out/$1.png"
    echo "  $out/$1.png"
}
set_state() {   # set_state BYTE TIP: the radios as the library reports them, and the tray following
    w emscdev.exe set "$1" >/dev/null
    w kovatest_helper.exe set-event KovamodeNotifyEvent
    w traywatch.exe wait-tip "$2" 5000 >/dev/null
}
popup() {   # popup NAME W H: the hot key, a screenshot, then the refresh key closes it unchanged
    w traywatch.exe find-window KovamodeClass 5000 >/dev/null
    w kovatest_helper.exe send-scan 0x04 ext
    w kovatest_helper.exe send-scan 0x04 ext up
    w traywatch.exe find-window '#32770' 5000 >/dev/null
    sleep 0.5   # let it paint
    shot "$1" "$2" "$3" $(( (1024 - $2) / 2 )) $(( (768 - $3) / 2 ))
    w kovatest_helper.exe send-scan 0x71
    w kovatest_helper.exe send-scan 0x71 up
}

echo "Kova on a virtual display; screenshots:"
w kovatest_helper.exe move-pointer 1020 760   # a resting pointer would hover the pop-ups
w emscdev.exe set 0x1F >/dev/null
(wine Kova.exe "$@" </dev/null >/dev/null 2>&1 &)
w traywatch.exe wait-icon class=KovamodeClass,128 10000 >/dev/null
shot tray 120 50 0 0

set_state 0x1E "Bluetooth is enabled."
popup mode-three-buttons 257 201
set_state 0x1A "Bluetooth is enabled."
popup mode-bluetooth-only 104 156
set_state 0x15 "Wireless LAN is enabled."
popup mode-wifi-only 104 156
set_state 0x0F "Bluetooth and Wireless LAN are disabled."
popup notice-both 104 156
set_state 0x05 "Wireless LAN is disabled."
popup notice-wifi 104 156
set_state 0x0A "Bluetooth is disabled."
popup notice-bluetooth 104 156

restart() {   # restart: Kova again, so that it reads the scale and the taskbar theme anew
    w Kova.exe Close
    w traywatch.exe wait-gone class=KovamodeClass,128 10000 >/dev/null || true
    (wine Kova.exe "$@" </dev/null >/dev/null 2>&1 &)
    w traywatch.exe wait-icon class=KovamodeClass,128 10000 >/dev/null
}
for dpi in 144 192; do
    w reg add "$desktop" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null
    restart
    pct=$(( dpi * 100 / 96 ))
    set_state 0x1E "Bluetooth is enabled."
    popup "mode-three-buttons-$pct" $(( (257 * dpi + 48) / 96 )) $(( (201 * dpi + 48) / 96 ))
    set_state 0x0F "Bluetooth and Wireless LAN are disabled."
    popup "notice-both-$pct" $(( (104 * dpi + 48) / 96 )) $(( (156 * dpi + 48) / 96 ))
done
w reg delete "$desktop" /v LogPixels /f >/dev/null
w reg add "$personalize" /v SystemUsesLightTheme /t REG_DWORD /d 1 /f >/dev/null
restart
set_state 0x1D "Wireless LAN is enabled."
shot tray-light 120 50 0 0
