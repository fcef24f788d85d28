#!/usr/bin/env bash
# Installs the Debian packages that building and testing Kova need. Idempotent: when
# everything is present it returns at once without touching apt.
#
#   scripts/install-deps.sh [--bench]    --bench: also what scripts/bench.sh draws with
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest
          wine wine32:i386 xvfb xauth x11-utils fonts-liberation fonts-noto-cjk
          python3-pil icoutils imagemagick nsis wixl msitools osslsigncode
          clang-14 libclang-rt-14-dev llvm-14)
# scripts/lint.sh
packages+=(clang-tidy-14 cppcheck)
case "${1:-}" in
# The latency picture; kept out of the test path, where it would only slow CI's set-up.
--bench) packages+=(python3-matplotlib) ;;
"") ;;
*) echo "usage: scripts/install-deps.sh [--bench]" >&2; exit 2 ;;
esac

need=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${need[*]} (run as root to install them)" >&2
    exit 1
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in sync fails one index now and then ("File has unexpected size"): try again, and
# go on with what the other indexes say.
for try in 1 2 3; do
    apt-get update -qq && break
    echo "install-deps: apt-get update failed (try $try of 3)" >&2
    sleep $((try * 5))
done
# With one suite's i386 index stale, amd64 packages of that suite have no i386 twins: the
# release's own suite then gives a matching set.
if ! apt-get install -y -qq --no-install-recommends "${need[@]}"; then
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    if [ -z "$codename" ] || ! apt-get install -y -qq --no-install-recommends -t "$codename" "${need[@]}"; then
        echo "install-deps: the packages could not be installed: ${need[*]}" >&2
        exit 1
    fi
fi
