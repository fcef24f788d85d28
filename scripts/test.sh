#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test under Wine on a private display.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/env.sh"

"$here/install-deps.sh"
"$here/build.sh"

eval "$("$here/wine-session.sh" start $$)"
trap '"$here/wine-session.sh" stop $$' EXIT

cd "$KOVA_BUILD"
ctest --output-on-failure --timeout 300 "$@"
