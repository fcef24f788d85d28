#!/usr/bin/env bash
# Sets up the machine, builds, and measures Kova under Wine against the least programs that
# do the same jobs (bench/baselines), all in one run on a private display:
#   start-up until the tray icon shows; hot key until each pop-up's pixels on the screen are
#   final, and until its window shows (paired runs); the first pop-up with the key pressed
#   as soon as the tray icon shows;
#   handles, GDI objects, windows and threads after start and after many pop-ups;
#   working set, private bytes, threads, and CPU time and context switches while idle,
#   read from Linux; what each key typed into another program costs with nothing resident,
#   with the bare hook baseline and with Kova (its delay, and the resident's CPU time and
#   context switches read from Linux); the size of Kova.exe; the in-process measures of
#   kovamicro.exe if built.
# Results: $KOVA_BUILD/bench/results.json (one JSON object a line, with every run's
# figure), results.md and latency.png (the distributions); --publish copies the picture
# to docs/performance-latency.png.
#
#   scripts/bench.sh [--runs N] [--cycles N] [--idle SECONDS] [--keys N] [--publish]
#                                                                     (15, 200, 30, 600)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/env.sh"

runs=15 cycles=200 idle=30 keys=600 publish=
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --cycles) cycles=$2; shift 2 ;;
    --idle) idle=$2; shift 2 ;;
    --keys) keys=$2; shift 2 ;;
    --publish) publish=1; shift ;;
    *) echo "usage: scripts/bench.sh [--runs N] [--cycles N] [--idle SECONDS] [--keys N] [--publish]" >&2
       exit 2 ;;
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
run_line+='"runs":%s,"cycles":%s,"idle_seconds":%s,"keys":%s,"load_before":"%s"}\n'
printf "$run_line" \
    "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$(hostname)" "${wine_version#wine-}" "$(nproc)" "$KOVA_BUILD" \
    "$runs" "$cycles" "$idle" "$keys" "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$results"

run startup --runs "$runs"
run hotkey --runs "$runs"
run first --runs "$runs"
run keywait --runs "$runs"

# field KEY JSON: one member of a JSON object, empty when it has none.
field() { /usr/bin/python3 -c 'import json,sys; print(json.loads(sys.argv[2]).get(sys.argv[1], ""))' "$1" "$2"; }

# held NAME HANDLER ARGS...: a driver scenario that stops at each {"hold":...} line it
# prints until HANDLER STAGE LINE has read from outside what only the host can see.
held() {
    local name=$1 handler=$2; shift 2
    local go_event="KovaBenchGo.$$.$name" seen=0 line stage deadline
    echo "bench: $name, read from outside" >&2
    wine "$bin/kovabench.exe" "$name" "$@" --hold "$go_event" >"$out/$name.json" 2>"$out/$name.log" </dev/null &
    driver_pid=$!
    # Polled every 0.1 s; each stage within the time-out of a whole scenario.
    deadline=$(( $(date +%s) + 900 ))
    while :; do
        line=$(grep -F '"hold":' "$out/$name.json" | sed -n "$((seen + 1))p" || true)
        if [ -z "$line" ]; then
            kill -0 "$driver_pid" 2>/dev/null || break
            [ "$(date +%s)" -lt "$deadline" ] ||
                fail "kovabench $name made no progress for 900 s: $(tail -n 3 "$out/$name.log")"
            sleep 0.1
            continue
        fi
        stage=$(field hold "$line")
        "$handler" "$stage" "$line"
        wine "$bin/kovatest_helper.exe" set-event "$go_event" </dev/null >/dev/null 2>&1 ||
            fail "could not let kovabench $name go on after $stage"
        seen=$((seen + 1))
        deadline=$(( $(date +%s) + 900 ))
    done
    wait "$driver_pid" || fail "kovabench $name failed: $(tail -n 3 "$out/$name.log")"
    driver_pid=
    grep -v '"hold"' "$out/$name.json" >>"$results"
}

# resident_pid LINE: the Linux pid of the program a hold line names.
resident_pid() {
    $figures find-pid "$(field exe "$1")" "$WINEPREFIX" || fail "no Linux process for $(field program "$1")"
}

# The footprint run stops after each start and after the pop-ups: memory, then the idle cost.
footprint_hold() {
    local pid
    pid=$(resident_pid "$2") || exit 1
    $figures measure "$pid" "$1" "$idle" >>"$results" || fail "could not read process $pid ($(field program "$2"))"
}
held footprint footprint_hold --cycles "$cycles"

# The typing run stops before and after the keys of each case and round: the resident
# program, if any, and the wine server, which serves every hook call and semaphore of theirs.
wineserver_pid=$($figures find-server "$WINEPREFIX") || fail "no wine server for $WINEPREFIX"
typing_hold() {
    local label=${1%-*} when=${1##*-} who pid at_once
    for who in resident wineserver; do
        at_once=()
        if [ "$who" = wineserver ]; then
            pid=$wineserver_pid at_once=(--at-once)   # never quiet: read right after the resident
        elif [ -n "$(field exe "$2")" ]; then
            pid=$(resident_pid "$2") || exit 1
        else
            continue   # nothing resident
        fi
        if [ "$when" = start ]; then
            $figures snapshot "$pid" "${at_once[@]}" >"$out/$label.$who.snapshot" || fail "could not read process $pid"
        else
            $figures spent "$pid" "$label.$who" "$out/$label.$who.snapshot" "$(field keys "$2")" "${at_once[@]}" \
                >>"$results" || fail "could not read process $pid"
        fi
    done
}
held typing typing_hold --keys "$keys"
$figures typing-cost "$results" >>"$results"

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
