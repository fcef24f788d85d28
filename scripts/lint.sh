#!/usr/bin/env bash
# Static analysis of the program's own sources: clang-tidy (.clang-tidy) and cppcheck
# (tools/lint/cppcheck-suppressions.txt), from the MinGW build's compile commands.
# Exits non-zero on any finding. Needs a configured build (scripts/build.sh makes one).
#   scripts/lint.sh                 both tools over every source
#   scripts/lint.sh tidy|cppcheck   one of them
#   KOVA_LINT_FILES='^skin/' ...    only the sources whose path below the root matches
set -euo pipefail
. "$(dirname "$0")/env.sh"

which=${1:-all}
folders=(app radio tray skin dialogs framework tools)
gcc_dir=/usr/lib/gcc/i686-w64-mingw32/12-posix
jobs=${KOVA_LINT_JOBS:-2}
out="$KOVA_BUILD/lint"

if [ ! -f "$KOVA_BUILD/compile_commands.json" ]; then
    echo "lint: no $KOVA_BUILD/compile_commands.json; run scripts/build.sh first" >&2
    exit 2
fi
rm -rf "$out/tidy"
mkdir -p "$out/tidy" "$out/cppcheck-cache"
count=$(/usr/bin/python3 "$KOVA_ROOT/tools/lint/compdb.py" "$KOVA_BUILD" "$out" "$gcc_dir" "${folders[@]}")
if [ "$count" -eq 0 ]; then
    echo "lint: no source matches '${KOVA_LINT_FILES:-}'" >&2
    exit 2
fi

start=$SECONDS
status=0

if [ "$which" = all ] || [ "$which" = tidy ]; then
    # Headers are checked where a source of ours includes them; system and test headers not.
    header_filter="^$KOVA_ROOT/($(IFS='|'; echo "${folders[*]}"))/"
    # clang-tidy exits non-zero on findings too; its status only matters when nothing was found.
    tidy_rc=0
    /usr/bin/python3 -c 'import json, sys; print("\n".join(e["file"] for e in json.load(open(sys.argv[1]))))' \
        "$out/compile_commands.json" |
        xargs -P "$jobs" -I{} sh -c \
            'clang-tidy-14 --quiet -p "$1" --header-filter="$2" "$3" >"$1/tidy/$(echo "$3" | tr / _).log" 2>&1' \
            sh "$out" "$header_filter" {} || tidy_rc=$?
    # A finding in a shared header is reported once per source that includes it: count it once.
    cat "$out"/tidy/*.log >"$out/clang-tidy.txt"
    grep -E ': (warning|error): ' "$out/clang-tidy.txt" | sort -u >"$out/clang-tidy-findings.txt" || true
    n=$(wc -l <"$out/clang-tidy-findings.txt")
    cat "$out/clang-tidy-findings.txt"
    echo "lint: clang-tidy: $n finding(s) in $count source(s); full output in $out/clang-tidy.txt"
    if [ "$n" -ne 0 ]; then
        status=1
    elif [ "$tidy_rc" -ne 0 ]; then
        echo "lint: clang-tidy failed without a finding; see $out/clang-tidy.txt" >&2
        status=1
    fi
fi

if [ "$which" = all ] || [ "$which" = cppcheck ]; then
    # Each source once, with its own defines and include folders from the compile commands.
    rc=0
    cppcheck --project="$out/compile_commands.json" \
             --enable=warning,style,performance,portability \
             --platform=win32A --library=windows --std=c++17 \
             -D__GNUC__ -D__i386__ \
             --suppressions-list="$KOVA_ROOT/tools/lint/cppcheck-suppressions.txt" \
             --inline-suppr --error-exitcode=1 -j "$jobs" --quiet \
             --cppcheck-build-dir="$out/cppcheck-cache" \
             --template='{file}:{line}:{column}: {severity}: {message} [{id}]' \
             2>"$out/cppcheck.txt" >/dev/null || rc=$?
    sort -u "$out/cppcheck.txt" >"$out/cppcheck-findings.txt"
    n=$(wc -l <"$out/cppcheck-findings.txt")
    cat "$out/cppcheck-findings.txt"
    echo "lint: cppcheck: $n finding(s) in $count source(s)"
    [ "$rc" -eq 0 ] && [ "$n" -eq 0 ] || status=1
fi

echo "lint: $((SECONDS - start)) s, $([ $status -eq 0 ] && echo clean || echo FAILED)"
exit $status
