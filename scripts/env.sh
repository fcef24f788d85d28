# Sourced by the other scripts: where things live and how Wine is run.
KOVA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KOVA_BUILD=${KOVA_BUILD:-$KOVA_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$KOVA_BUILD/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
