#!/usr/bin/env bash
# Builds the platform-free logic for this machine with clang's address and undefined-
# behaviour sanitizers into $KOVA_BUILD/native and runs its table tests and fuzzers there.
# Arguments go to ctest (-R, -E, -L fuzz ...). KOVA_FUZZ_SECONDS sets each fuzzer's run
# (default 60; 0 only replays the checked-in corpus).
set -euo pipefail
. "$(dirname "$0")/env.sh"

cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
    echo "native-test: clang++ not found (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
native=$KOVA_BUILD/native
cmake -S "$KOVA_ROOT/tests/native" -B "$native" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$native" -j "$(nproc)"
cd "$native"
ctest --output-on-failure "$@"
