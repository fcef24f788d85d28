#!/usr/bin/env bash
# run-fuzzer.sh FUZZER CORPUS WORKDIR: runs a libFuzzer program for $KOVA_FUZZ_SECONDS
# (default 60; 0 replays the corpus once) on WORKDIR/corpus, which starts as a copy of the
# checked-in CORPUS and keeps what earlier runs found. Fails on any crash, leak, UB report
# or time-out; the input that caused it is left in WORKDIR/artifacts.
set -euo pipefail
fuzzer=$1 inputs=$2 work=$3
seconds=${KOVA_FUZZ_SECONDS:-60}
mkdir -p "$work/corpus" "$work/artifacts"
cp -f "$inputs"/* "$work/corpus/"
if [ "$seconds" -eq 0 ]; then
    limit=(-runs=0)
else
    limit=(-max_total_time="$seconds")
fi
# -timeout: one input running over 10 s counts as a hang. The outer timeout guards the
# fuzzer itself.
exec timeout --kill-after=10 $((seconds + 120)) \
    "$fuzzer" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus"
