#!/usr/bin/env bash
# Sets up the machine, builds, and measures Kova under Wine against the least programs that
# do the same jobs (bench/baselines), all in one run on a private display:
#   start-up until the tray icon shows; hot key until each pop-up's pixels on the screen are
#   final, and until its window shows (paired runs); the first pop-up with the key pressed
#   as soon as the tray icon shows;
#   handles, GDI objects, windows and threads after start and after many pop-ups;
#   working set, private bytes, threads, and CPU time and context switches while idle,
#   read from Linux; the size of Kova.exe; the in-process measures of kovamicro.exe if built.
# Results: $KOVA_BUILD/bench/results.json (one JSON object a line, with every run's
# figure), results.md and latency.png (the distributions); --publish copies the picture
# to docs/performance-latency.png.
#
#   scripts/bench.sh [--runs N] [--cycles N] [--idle SECONDS] [--publish]    (15, 200, 30)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/env.sh"

runs=15 cycles=200 idle=30 publish=
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --cycles) cycles=$2; shift 2 ;;
    --idle) idle=$2; shift 2 ;;
    --publish) publish=1; shift ;;
    *) echo "usage: scripts/bench.sh [--runs N] [--cycles N] [--idle SECONDS] [--publish]" >&2; exit 2 ;;
    esac
done
started=$(date +%s)

"$here/install-deps.sh" --bench
"$here/build.sh"

bin=$KOVA_BUILD/bin
out=$KOVA_BUILD/bench
figures="/usr/bin/python3 $KOVA_ROOT/bench/driver/host_figures.py"
mkdir -p "$out"
results=$out/results.json
: >"$results"

eval "$("$here/wine-session.sh" start $$)"
driver_pid=
cleanup() {
    # A driver that failed has ended what it started; one that is still running, and
    # anything a killed one left, is ended here by its own means.
    [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null && wait "$driver_pid" 2>/dev/null || true
    for exe in Kova.exe tray_baseline.exe dialog_baseline.exe; do
        wine "$bin/$exe" Close </dev/null >/dev/null 2>&1 || true
    done
    "$here/wine-session.sh" stop $$
}
trap cleanup EXIT

fail() { echo "bench: $*" >&2; exit 1; }

# run NAME ARGS...: one driver scenario, its JSON lines into the results.
run() {
    local name=$1; shift
    echo "bench: $name" >&2
    timeout 900 wine "$bin/kovabench.exe" "$name" "$@" >"$out/$name.json" 2>"$out/$name.log" </dev/null ||
        fail "kovabench $name failed (exit $?): $(tail -n 3 "$out/$name.log")"
    cat "$out/$name.json" >>"$results"
}

wine_version=$(wine --version 2>/dev/null || echo unknown)
# The load average says whether something else shared the machine during the run.
run_line='{"name":"bench.run","date":"%s","host":"%s","wine":"%s","cores":%s,"build":"%s",'
run_line+='"runs":%s,"cycles":%s,"idle_seconds":%s,"load_before":"%s"}\n'
printf "$run_line" \
    "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$(hostname)" "${wine_version#wine-}" "$(nproc)" "$KOVA_BUILD" \
    "$runs" "$cycles" "$idle" "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$results"

run startup --runs "$runs"
run hotkey --runs "$runs"
run first --runs "$runs"
run keywait --runs "$runs"

# The footprint run stops at each stage until we have read the process from outside.
echo "bench: footprint and idle figures" >&2
go_event="KovaBenchGo.$$"
wine "$bin/kovabench.exe" footprint --cycles "$cycles" --hold "$go_event" \
    >"$out/footprint.json" 2>"$out/footprint.log" </dev/null &
driver_pid=$!
for stage in kova-started kova-cycled tray_baseline-started; do
    line=
    # Polled every 0.1 s: 2 minutes, and half a second per pop-up, for the driver to get there.
    for _ in $(seq 1 $(( 1200 + cycles * 5 ))); do
        line=$(grep -F "\"hold\":\"$stage\"" "$out/footprint.json" || true)
        [ -n "$line" ] && break
        kill -0 "$driver_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$line" ] || fail "the footprint run did not reach $stage: $(tail -n 3 "$out/footprint.log")"
    exe=$(/usr/bin/python3 -c 'import json,sys; print(json.loads(sys.argv[1])["exe"])' "$line")
    program=$(/usr/bin/python3 -c 'import json,sys; print(json.loads(sys.argv[1])["program"])' "$line")
    linux_pid=$($figures find-pid "$exe" "$WINEPREFIX") || fail "no Linux process for $exe"
    $figures measure "$linux_pid" "$stage" "$idle" >>"$results" ||
        fail "could not read process $linux_pid ($program)"
    wine "$bin/kovatest_helper.exe" set-event "$go_event" </dev/null >/dev/null 2>&1 ||
        fail "could not let the footprint run go on after $stage"
done
wait "$driver_pid" || fail "kovabench footprint failed: $(tail -n 3 "$out/footprint.log")"
driver_pid=
grep -v '"hold"' "$out/footprint.json" >>"$results"

for exe in Kova.exe tray_baseline.exe dialog_baseline.exe; do
    printf '{"name":"size.%s","unit":"bytes","value":%s}\n' "$exe" "$(stat -c %s "$bin/$exe")" >>"$results"
done

if [ -f "$bin/kovamicro.exe" ]; then
    echo "bench: kovamicro" >&2
    # On one processor with the display and the wine server: spread over two, window calls
    # flip between fast and slow and the medians move by a factor of three.
    cpu=$(( $(nproc) - 1 ))
    pinned=$(pgrep -f "^Xvfb $DISPLAY " || true)
    pinned="$pinned $(pgrep -U "$(id -u)" wineserver || true)"
    for pid in $pinned; do taskset -a -p -c "$cpu" "$pid" >/dev/null 2>&1 || true; done
    timeout 900 taskset -c "$cpu" wine "$bin/kovamicro.exe" >"$out/micro.json" 2>"$out/micro.log" </dev/null ||
        fail "kovamicro failed: $(tail -n 3 "$out/micro.log")"
    for pid in $pinned; do taskset -a -p -c "0-$cpu" "$pid" >/dev/null 2>&1 || true; done
    grep '^{' "$out/micro.json" >>"$results" || true
fi

elapsed=$(( $(date +%s) - started ))
# The run's own line gets the duration, then the table is written from the whole file.
/usr/bin/python3 - "$results" "$elapsed" "$(cut -d' ' -f1-3 /proc/loadavg)" <<'EOF'
import json, sys
path, seconds, load = sys.argv[1], int(sys.argv[2]), sys.argv[3]
lines = open(path).read().splitlines()
first = json.loads(lines[0]); first["seconds"] = seconds; first["load_after"] = load
open(path, "w").write("\n".join([json.dumps(first)] + lines[1:]) + "\n")
EOF
$figures report "$results" >"$out/results.md"
$figures plot "$results" "$out/latency.png"
# Docs are committed by hand: the picture goes there only when asked.
[ -z "$publish" ] || cp "$out/latency.png" "$KOVA_ROOT/docs/performance-latency.png"
echo "bench: done in ${elapsed} s: $out/results.md, $out/latency.png" >&2
