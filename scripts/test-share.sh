#!/usr/bin/env bash
# Prints the program's lines, its tests' lines and the test tooling's lines, and the share
# the tests take. Lines are non-blank lines of C/C++ sources, headers and resource scripts
# (.cpp .c .h .rc) known to git (tracked, or new and not ignored).
#   program        app dialogs framework radio res skin tray tools
#   product tests  tests/ without tests/harness (tests/support, the end-to-end tests and the
#                  native fuzzers included)
#   tooling        tests/harness: the tray and process observers, traywatch, traysample,
#                  kovatest_helper, and the tests of those
set -euo pipefail
cd "$(dirname "$0")/.."

# Non-blank lines of the matching files under the folders given.
count() {
    git ls-files --cached --others --exclude-standard -z -- "$@" |
        grep -z -E '\.(cpp|c|h|rc)$' |
        xargs -0 -r cat |
        grep -c -v '^[[:space:]]*$' || true
}

program=$(count app dialogs framework radio res skin tray tools)
tests=$(count tests ':!tests/harness')
tooling=$(count tests/harness)

printf '%-15s %7d\n' program "$program" "product tests" "$tests" tooling "$tooling"
awk -v p="$program" -v t="$tests" 'BEGIN {
    printf "product test share: %.0f%% of program + product tests (%.2f test lines per program line)\n",
           100 * t / (p + t), t / p }'
