#!/usr/bin/env bash
# Prepares the 32-bit Wine prefix once (fonts, no window-manager stalls, no crash dialog).
set -euo pipefail
. "$(dirname "$0")/env.sh"

# The name changes with what the prefix holds, so older prefixes are made afresh once.
stamp=$WINEPREFIX/.kova-prefix-ready-cjk
[ -f "$stamp" ] && exit 0

rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1 || true
reg() { wine reg add "$@" /f >/dev/null 2>&1; }
# Unmanaged windows: without a window manager every hide of a managed window stalls 2 s.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
fonts='HKCU\Software\Wine\Fonts\Replacements'
reg "$fonts" /v 'Times New Roman' /t REG_SZ /d 'Liberation Serif'
# Japanese, Chinese and Korean UI text: Wine's fallback for the dialog fonts links to these
# Windows faces, which Debian's fonts-noto-cjk stands in for (fc-list's family names).
for face in 'MS UI Gothic' 'Meiryo' 'Yu Gothic UI'; do
    reg "$fonts" /v "$face" /t REG_SZ /d 'Noto Sans CJK JP'
done
for face in 'Microsoft YaHei' 'SimSun'; do
    reg "$fonts" /v "$face" /t REG_SZ /d 'Noto Sans CJK SC'
done
for face in 'Malgun Gothic' 'Gulim'; do
    reg "$fonts" /v "$face" /t REG_SZ /d 'Noto Sans CJK KR'
done
# A crashing test exits at once instead of waiting on the crash dialog.
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
wineserver -k >/dev/null 2>&1 || true   # flushes the registry to disk
wineserver -w >/dev/null 2>&1 || true
touch "$stamp"
