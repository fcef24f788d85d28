#!/usr/bin/env bash
# Configures and builds everything into build/ (program, tools and tests in build/bin).
set -euo pipefail
. "$(dirname "$0")/env.sh"
cmake -S "$KOVA_ROOT" -B "$KOVA_BUILD" -DCMAKE_TOOLCHAIN_FILE="$KOVA_ROOT/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$KOVA_BUILD" -j "$(nproc)"
