#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test under Wine on a private display, then the
# platform-free logic natively under the sanitizers (scripts/native-test.sh). Arguments go to
# both ctest runs; both must pass.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/env.sh"

"$here/install-deps.sh"
"$here/build.sh"

eval "$("$here/wine-session.sh" start $$)"
trap '"$here/wine-session.sh" stop $$' EXIT

rc=0
(cd "$KOVA_BUILD" && ctest --output-on-failure --timeout 300 "$@") || rc=$?
"$here/native-test.sh" "$@" || rc=$?
exit $rc
