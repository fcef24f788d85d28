#!/usr/bin/env bash
# Prepares the 32-bit Wine prefix once (fonts, no window-manager stalls, no crash dialog).
set -euo pipefail
. "$(dirname "$0")/env.sh"

stamp=$WINEPREFIX/.kova-prefix-ready
[ -f "$stamp" ] && exit 0

rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1 || true
reg() { wine reg add "$@" /f >/dev/null 2>&1; }
# Unmanaged windows: without a window manager every hide of a managed window stalls 2 s.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /t REG_SZ /d 'Liberation Serif'
# A crashing test exits at once instead of waiting on the crash dialog.
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
wineserver -k >/dev/null 2>&1 || true   # flushes the registry to disk
wineserver -w >/dev/null 2>&1 || true
touch "$stamp"
