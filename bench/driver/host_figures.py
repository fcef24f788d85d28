#!/usr/bin/python3
"""What only the host sees of a Wine process, and the report of a benchmark run.

  host_figures.py find-pid EXE PREFIX        Linux pid of the Wine process running EXE
  host_figures.py find-server PREFIX         Linux pid of the prefix's wine server
  host_figures.py measure PID LABEL SECONDS  memory, threads, then CPU time and context
                                             switches per thread over SECONDS idle seconds
  host_figures.py snapshot PID [--at-once]   the counters of each thread, once the process
                                             has settled: the start of a span of work
  host_figures.py spent PID LABEL SNAPSHOT KEYS [--at-once]
                                             CPU time and context switches per thread since
                                             SNAPSHOT, once settled again: KEYS keys typed
  --at-once: read without waiting for the process to settle (the wine server never does:
  Wine's own services keep it busy for about 2 ms a second).
  host_figures.py typing-cost RESULTS.json   the rounds of each typing case added up, per key,
                                             and Kova against the bare hook baseline
  host_figures.py report RESULTS.json        the readable table of a run, in Markdown
  host_figures.py plot RESULTS.json PNG      the latency distributions, Kova against the
                                             baselines, as a picture (matplotlib)

EXE is the program's path as Windows names it (Z:\\...\\Kova.exe) or as Linux does. Wine
puts the program's path in argv[0]; PREFIX (the WINEPREFIX) tells two trees apart.
Figures are printed as JSON objects, one a line.
"""
import json
import os
import sys
import time

# Private bytes after the pop-ups: what Kova may keep at most.
PRIVATE_TARGET_MIB = 12


def read(path):
    with open(path, "rb") as f:
        return f.read()


def windows_to_linux(path):
    """Z:\\tmp\\x.exe -> /tmp/x.exe; other drives are left as they are."""
    if len(path) > 2 and path[1] == ":" and path[0] in "zZ":
        return path[2:].replace("\\", "/")
    return path


def find_one(prefix, what, test):
    """The one process of the prefix whose argv[0] passes test."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            argv0 = read(f"/proc/{entry}/cmdline").split(b"\0")[0].decode(errors="replace").strip()
            env = read(f"/proc/{entry}/environ").split(b"\0")
        except OSError:
            continue
        if test(argv0) and f"WINEPREFIX={prefix}".encode() in env:
            found.append(int(entry))
    if len(found) != 1:
        sys.exit(f"host_figures: {len(found)} processes run {what} in {prefix}")
    return found[0]


def find_pid(exe, prefix):
    wanted = {exe.lower(), windows_to_linux(exe).lower()}
    return find_one(prefix, exe, lambda argv0: argv0.lower() in wanted)


def find_server(prefix):
    # wineserver is a script that starts wineserver32 or wineserver64.
    return find_one(prefix, "the wine server", lambda argv0: os.path.basename(argv0).startswith("wineserver"))


def status_fields(path):
    fields = {}
    for line in read(path).decode().splitlines():
        key, _, value = line.partition(":")
        fields[key] = value.strip()
    return fields


def kib(value):
    return int(value.split()[0])


def memory(pid):
    status = status_fields(f"/proc/{pid}/status")
    rollup = status_fields(f"/proc/{pid}/smaps_rollup")
    return {"vmrss_kib": kib(status["VmRSS"]),
            "private_kib": kib(rollup["Private_Clean"]) + kib(rollup["Private_Dirty"])}


def thread_counters(pid):
    """tid -> [name, cpu ticks, voluntary and involuntary switches, run time ns] of each thread.
    The ticks are whole clock ticks (10 ms); the run time comes from schedstat, to the
    nanosecond, where the kernel keeps it, else from the ticks."""
    ns_per_tick = 10**9 // os.sysconf("SC_CLK_TCK")
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            stat = read(f"/proc/{pid}/task/{tid}/stat").decode()
            status = status_fields(f"/proc/{pid}/task/{tid}/status")
            schedstat = f"/proc/{pid}/task/{tid}/schedstat"
            run_ns = int(read(schedstat).split()[0]) if os.path.exists(schedstat) else None
        except OSError:
            continue   # ended between the listing and the read
        # The name may hold spaces and parentheses: the fields follow the last ")".
        rest = stat[stat.rindex(")") + 2:].split()
        ticks = int(rest[11]) + int(rest[12])
        threads[int(tid)] = [status.get("Name", "?"), ticks, int(status["voluntary_ctxt_switches"]),
                             int(status["nonvoluntary_ctxt_switches"]),
                             ticks * ns_per_tick if run_ns is None else run_ns]
    return threads


def thread_rows(pid, before, after):
    """What each thread did between two readings."""
    ms_per_tick = 1000.0 / os.sysconf("SC_CLK_TCK")
    rows = []
    for tid in sorted(set(before) | set(after)):
        b = before.get(tid)
        a = after.get(tid)
        base = b or [a[0], 0, 0, 0, 0]
        last = a or b
        rows.append(dict(tid=tid, name=last[0], main=tid == pid,
                         state="new" if not b else "ended" if not a else "lived",
                         cpu_ms=round((last[1] - base[1]) * ms_per_tick, 1),
                         run_ms=round((last[4] - base[4]) / 1e6, 3),
                         voluntary=last[2] - base[2], involuntary=last[3] - base[3]))
    return rows


def settled_counters(pid, at_once=False, quiet=0.2, limit=10.0):
    """The counters once no thread has run for `quiet` seconds (at most `limit` seconds on),
    and whether that came: work left over from before is no part of what is measured next."""
    last = thread_counters(pid)
    if at_once:
        return last, False
    deadline = time.monotonic() + limit
    while True:
        time.sleep(quiet)
        now = thread_counters(pid)
        if now == last or time.monotonic() >= deadline:
            return now, now == last
        last = now


def emit(obj):
    print(json.dumps(obj), flush=True)


def measure(pid, label, seconds):
    emit(dict(name=f"host.{label}.memory", unit="KiB", pid_linux=pid, **memory(pid)))
    before = thread_counters(pid)
    emit(dict(name=f"host.{label}.threads", unit="count", value=len(before)))
    # The idle window itself: what the process does while nobody asks anything of it.
    start = time.monotonic()
    time.sleep(seconds)
    after = thread_counters(pid)
    elapsed = time.monotonic() - start
    rows = thread_rows(pid, before, after)
    emit(dict(name=f"host.{label}.idle", unit="per window", seconds=round(elapsed, 1),
              cpu_ms=round(sum(r["cpu_ms"] for r in rows), 1),
              context_switches=sum(r["voluntary"] + r["involuntary"] for r in rows),
              threads=rows))
    emit(dict(name=f"host.{label}.memory_after_idle", unit="KiB", pid_linux=pid, **memory(pid)))


def snapshot(pid, at_once):
    counters, settled = settled_counters(pid, at_once)
    emit(dict(pid_linux=pid, settled=settled, threads=counters))


def spent(pid, label, path, keys, at_once):
    """What the process did for the keys typed since the snapshot."""
    start = json.load(open(path))
    before = {int(tid): counters for tid, counters in start["threads"].items()}
    after, settled = settled_counters(pid, at_once)
    rows = thread_rows(pid, before, after)
    emit(dict(name=f"host.{label}", unit="per span", pid_linux=pid, keys=keys,
              settled=start["settled"] and settled, cpu_ms=round(sum(r["run_ms"] for r in rows), 3),
              context_switches=sum(r["voluntary"] + r["involuntary"] for r in rows), threads=rows))


TYPING_CASES = ("none", "dialog_baseline", "kova")


def typing_cost(path):
    """Per case and process, the rounds added up: CPU ms per 1000 keys and context switches
    per key, of the process and of each thread (matched across rounds, each a new process, by
    their order of creation); a thread woken is one with a switch for at least every other key."""
    lines = [json.loads(l) for l in open(path) if l.strip().startswith("{")]
    costs = {}
    for case in TYPING_CASES:
        for who in ("resident", "wineserver"):
            rounds = [l for l in lines if l.get("name") == f"host.typing-{case}.{who}"]
            if not rounds:
                continue
            keys = sum(r["keys"] for r in rounds)
            threads = []
            for r in rounds:
                for i, t in enumerate(r["threads"]):
                    if i == len(threads):
                        threads.append(dict(order=i + 1, main=t["main"], run_ms=0.0, switches=0))
                    threads[i]["run_ms"] += t["run_ms"]
                    threads[i]["switches"] += t["voluntary"] + t["involuntary"]
            per = [dict(order=t["order"], main=t["main"], cpu_ms_per_1000_keys=round(t["run_ms"] * 1000 / keys, 1),
                        switches_per_key=round(t["switches"] / keys, 2)) for t in threads]
            cost = dict(name=f"typing.cost.{case}.{who}", unit="per key", keys=keys, rounds=len(rounds),
                        settled=all(r["settled"] for r in rounds),
                        cpu_ms_per_1000_keys=round(sum(r["cpu_ms"] for r in rounds) * 1000 / keys, 1),
                        switches_per_key=round(sum(r["context_switches"] for r in rounds) / keys, 2),
                        threads_woken=sum(t["switches_per_key"] >= 0.5 for t in per), threads=per)
            costs[(case, who)] = cost
            emit(cost)
    ratio = dict(name="typing.cost.ratio", unit="x")
    for who in ("resident", "wineserver"):
        kova, base = costs.get(("kova", who)), costs.get(("dialog_baseline", who))
        for key in ("cpu_ms_per_1000_keys", "switches_per_key"):
            if kova and base and base[key]:
                ratio[f"{who}_{key}"] = round(kova[key] / base[key], 3)
    emit(ratio)


def fmt(value, digits=1):
    if value is None:
        return "-"
    if isinstance(value, float):
        return f"{value:.{digits}f}"
    return str(value)


def report(path):
    lines = [json.loads(l) for l in open(path) if l.strip().startswith("{")]
    by_name = {l["name"]: l for l in lines if "name" in l}
    out = ["# Kova benchmarks", ""]
    meta = by_name.get("bench.run", {})
    if meta:
        out += [f"Run of {meta.get('date', '?')} on {meta.get('host', '?')}: Wine {meta.get('wine', '?')}, "
                f"{meta.get('cores', '?')} cores, build `{meta.get('build', '?')}`. "
                f"bench.sh took {meta.get('seconds', '?')} s. Load average before "
                f"{meta.get('load_before', '?')}, after {meta.get('load_after', '?')} "
                f"(anything above 0 is another program sharing the machine).", ""]

    kinds = [("mode-three", "three-button pop-up"), ("mode-one", "one-button pop-up"),
             ("notice", "switch-off notice")]
    targets = []

    def target(name, label, key="ratio_of_medians", unit="x"):
        r = by_name.get(name)
        if r and "target" in r:
            digits = 2 if unit == "x" else 1
            targets.append(f"| {label} | {fmt(r[key], digits)}{unit} | {'yes' if r['met'] else '**no**'} |")

    target("startup.ratio", "start-up within 1.1x of the tray baseline (ratio of medians)")
    for kind, label in kinds:
        target(f"hotkey.{kind}.kova", f"hot key to {label}, pixels final: median within 16.7 ms", "median", " ms")
        ratio = by_name.get(f"hotkey.{kind}.ratio", {})
        target(f"hotkey.{kind}.ratio",
               f"hot key to {label}, pixels final: within {fmt(ratio.get('target'), 2)}x of the dialog baseline",
               "ratio_of_medians")
        target(f"hotkey.{kind}.first", f"first {label} after start, idle: pixels final within 33 ms", "kova",
               " ms")
    target("first.kova",
           "first three-button pop-up, key pressed once the program first waits for input: median within 33 ms",
           "median", " ms")
    target("first.ratio", "the same: within {}x of the dialog baseline's first".format(
        fmt(by_name.get("first.ratio", {}).get("target"), 2)))
    cycled = by_name.get("host.kova-cycled.memory")
    if cycled:
        mib = cycled["private_kib"] / 1024
        targets.append(f"| private memory after the pop-ups within {fmt(PRIVATE_TARGET_MIB)} MiB | {fmt(mib)} MiB | "
                       f"{'yes' if mib <= PRIVATE_TARGET_MIB else '**no**'} |")
    growth = [l for l in lines if l.get("name", "").startswith("footprint.kova.growth_from_")]
    if growth:
        g = growth[-1]   # from half way to the end: what each pop-up leaves behind
        user = g.get("user_windows", g.get("user"))
        span = g["name"][len("footprint.kova.growth_from_"):].replace("_to_", " to ")
        zero = g["handles"] == 0 and g["gdi"] == 0 and user == 0 and g["threads"] == 0
        targets.append(f"| no growth of handles, GDI objects, windows, threads over pop-ups {span} | "
                       f"{g['handles']} / {g['gdi']} / {user} / {g['threads']} | {'yes' if zero else '**no**'} |")
    for label in ("kova-started", "kova-cycled"):
        idle = by_name.get(f"host.{label}.idle")
        if idle:
            quiet = idle["cpu_ms"] == 0 and idle["context_switches"] == 0
            targets.append(f"| no CPU time and no wake-ups while idle ({label}, {fmt(idle['seconds'])} s) | "
                           f"{fmt(idle['cpu_ms'])} ms CPU, {idle['context_switches']} context switches | "
                           f"{'yes' if quiet else '**no**'} |")
    if targets:
        out += ["## Targets", "", "| target | measured | met |", "|---|---|---|", *targets, ""]

    def steps_line(name, base):
        # Where the time went: each program's marked steps, medians over the runs.
        r = by_name.get(name)
        if not r:
            return
        def steps(d):
            return " · ".join(f"{step} {fmt(ms)}" for step, ms in d.items()) or "none marked"
        out.extend([f"Where the time went, ms after {r['from']} (each step's median): Kova {steps(r['kova'])}; "
                    f"{base} {steps(r[base])}.", ""])

    def paired(title, prefix, pairs):
        rows = []
        for name, label, base in pairs:
            a = by_name.get(f"{prefix}{name}.kova")
            b = by_name.get(f"{prefix}{name}.{base}")
            r = by_name.get(f"{prefix}{name}.ratio")
            if not (a and b and r):
                continue
            met = "-" if "target" not in r else ("yes" if r["met"] else "**no**")
            rows.append(f"| {label} | {a['runs']} | {fmt(a['median'])} ({fmt(a['min'])}-{fmt(a['max'])}) | "
                        f"{base} {fmt(b['median'])} ({fmt(b['min'])}-{fmt(b['max'])}) | "
                        f"{fmt(r['ratio_of_medians'], 2)} | {fmt(r['median'], 2)} | "
                        f"{fmt(r.get('target'), 2)} | {met} |")
        if rows:
            out.extend([f"## {title}", "",
                        "| measure | pairs | Kova ms: median (min-max) | baseline ms: median (min-max) | "
                        "ratio of medians | median of run ratios | target | met |",
                        "|---|---|---|---|---|---|---|---|", *rows, ""])

    paired("Start-up: process start until the tray icon is visible", "startup",
           [("", "start-up", "tray_baseline"), (".icon_made", "(icon window made)", "tray_baseline")])
    steps_line("startup.steps", "tray_baseline")
    pairs = []
    for kind, label in kinds:
        pairs += [(f".{kind}", f"{label}: pixels final", "dialog_baseline"),
                  (f".{kind}.first_change", "(first pixels)", "dialog_baseline"),
                  (f".{kind}.shown", "(window shown)", "dialog_baseline"),
                  (f".{kind}.made", "(window made)", "dialog_baseline")]
    paired("Hot key: key press until the pop-up's pixels on the screen are final", "hotkey", pairs)
    paired("Another program's key while Kova sits in a 1.5 s EMSC.dll call: until its key-down",
           "keywait", [("", "key wait", "dialog_baseline")])
    firsts = [(label, by_name.get(f"hotkey.{k}.first")) for k, label in kinds]
    if any(f for _, f in firsts):
        out += ["### First opening of each after start, the program idle (not in the medians)", "",
                "| pop-up | Kova: pixels final | Kova: window shown | baseline: pixels final | "
                "baseline: window shown |", "|---|---|---|---|---|"]
        out += [f"| {label} | {fmt(f['kova'])} | {fmt(f['kova_shown'])} | {fmt(f['dialog_baseline'])} | "
                f"{fmt(f['dialog_baseline_shown'])} |" for label, f in firsts if f]
        out.append("")
    paired("First opening after start: the key pressed once the program first waits for input", "first",
           [("", "three-button pop-up: pixels final", "dialog_baseline"),
            (".first_change", "(first pixels)", "dialog_baseline"),
            (".shown", "(window shown)", "dialog_baseline"),
            (".ready", "(start until the key: icon visible or window made, then input idle)",
             "dialog_baseline")])
    steps_line("first.steps", "dialog_baseline")
    lost = by_name.get("first.lost_keys")
    if lost:
        out += [f"Keys pressed as soon as the program could be reached that opened nothing (the keyboard hook "
                f"not yet in place), each start made again, twice at most: Kova {lost['kova']}, baseline "
                f"{lost['dialog_baseline']}; runs with both keys taken: {lost['timed_runs']} of {lost['runs']}.", ""]
    left = [(k, by_name.get(f"hotkey.{k}.left_final")) for k, _ in kinds] + [("first", by_name.get("first.left_final"))]
    left = [(k, l) for k, l in left if l and (l["kova"] or l["dialog_baseline"])]
    if left:
        out += ["Final pixels reached and then changed again within one opening (a pop-up drawn twice): " +
                ", ".join(f"{k} Kova {l['kova']}, baseline {l['dialog_baseline']}" for k, l in left) + ".", ""]
    for what, text in (("partial", "shown in parts (some of the box not drawn yet)"),
                       ("foreign", "in a look it does not end with (a fill, a background before its buttons)")):
        seen = [(k, by_name.get(f"{p}.{what}_frames")) for p, k in
                [(f"hotkey.{k}", k) for k, _ in kinds] + [("first", "first")]]
        seen = [(k, n) for k, n in seen if n]
        if seen:
            out += [f"Frames on the way to the final pixels, {text}, summed over the openings: " +
                    ", ".join(f"{k} Kova {n['kova']}, baseline {n['dialog_baseline']}" for k, n in seen) + ".", ""]
    for key in ("hotkey.poll", "first.poll"):
        poll = by_name.get(key)
        if poll:
            out += [f"{key}: one read of the {poll['points']} pixels costs {fmt(poll['median'], 0)} µs median "
                    f"({fmt(poll['min'], 0)}-{fmt(poll['max'], 0)}); timed openings read every "
                    f"{fmt(poll['mean_step_us'], 0)} µs on average (asked: {poll.get('poll_every_us', '?')}), the "
                    f"resolution of the pixel figures.", ""]
    for key in ("startup.missed_events", "hotkey.missed_events"):
        missed = by_name.get(key, {})
        if missed.get("value") or missed.get("untimed"):
            out += [f"{key}: windows found by the back-up walk (every 100 ms), not by their event: "
                    f"{missed.get('value', 0)} in timed runs, {missed.get('untimed', 0)} in untimed ones.", ""]

    typing_section(by_name, out)

    census = [l for l in lines if l.get("name", "").startswith("footprint.") and "handles" in l]
    if census:
        user_key = "user_windows" if any("user_windows" in c for c in census) else "user"
        user_title = "windows (USER)" if user_key == "user_windows" else "USER objects"
        out += ["## Footprint: what the process holds", "",
                f"| when | handles | GDI objects | {user_title} | threads |", "|---|---|---|---|---|"]
        for c in census:
            out.append(f"| {c['name'][len('footprint.'):]} | {c['handles']} | {c['gdi']} | "
                       f"{c.get(user_key, c.get('user', '-'))} | {c['threads']} |")
        out.append("")
        shown = by_name.get("footprint.kova.popup_shown")
        if shown:
            out += [f"Pop-ups during the cycles: shown after {fmt(shown['median'])} ms median "
                    f"({fmt(shown['min'])}-{fmt(shown['max'])}), {shown['runs']} pop-ups.", ""]

    hosts = [l for l in lines if l.get("name", "").startswith("host.")]
    labels = []
    for h in hosts:
        label = h["name"].split(".")[1]
        if label not in labels and f"host.{label}.memory" in by_name:
            labels.append(label)
    if labels:
        out += ["## Memory, threads and idle cost, read from Linux", "",
                "| process, when | working set KiB | private KiB | threads | idle window s | CPU ms | "
                "context switches | per thread: tid (main) CPU ms / switches |",
                "|---|---|---|---|---|---|---|---|"]
        for label in labels:
            mem = by_name.get(f"host.{label}.memory", {})
            thr = by_name.get(f"host.{label}.threads", {})
            idle = by_name.get(f"host.{label}.idle", {})
            per = ", ".join(f"{t['tid']}{' (main)' if t['main'] else ''} {fmt(t['cpu_ms'])}/"
                            f"{t['voluntary'] + t['involuntary']}"
                            f"{'' if t['state'] == 'lived' else ' ' + t['state']}"
                            for t in idle.get("threads", []))
            out.append(f"| {label} | {fmt(mem.get('vmrss_kib'))} | {fmt(mem.get('private_kib'))} | "
                       f"{fmt(thr.get('value'))} | {fmt(idle.get('seconds'))} | {fmt(idle.get('cpu_ms'))} | "
                       f"{fmt(idle.get('context_switches'))} | {per} |")
        out.append("")

    sizes = [l for l in lines if l.get("name", "").startswith("size.")]
    if sizes:
        out += ["## Program size", "", "| file | bytes |", "|---|---|"]
        out += [f"| {s['name'][len('size.'):]} | {s['value']} |" for s in sizes]
        out.append("")

    known = ("bench.", "startup", "hotkey", "first", "footprint.", "host.", "size.", "typing.")
    others = [l for l in lines if "name" in l and not l["name"].startswith(known)]
    if others:
        out += ["## In-process measures (kovamicro)", "", "| name | unit | runs | median | min | max |",
                "|---|---|---|---|---|---|"]
        out += [f"| {o['name']} | {o.get('unit', '')} | {fmt(o.get('runs', o.get('reps')))} | "
                f"{fmt(o.get('median'), 3)} | "
                f"{fmt(o.get('min'), 3)} | {fmt(o.get('max'), 3)} |" for o in others]
        out.append("")
    out += ["## How each figure is taken", "",
            "- Start-up: the performance counter right before CreateProcess, until the icon window explorer "
            "makes for the program is visible. Explorer's icon windows are seen as they are made through a "
            "WinEvent hook (EVENT_OBJECT_CREATE, out of context), then their visibility is polled every "
            "millisecond: Wine 8 reports creation but not showing. The icon is then checked to be the "
            "program's (owner window and id, read from explorer), and the program is ended through its close "
            "event before the next start. Kova and tray_baseline.exe alternate, one untimed start each first.",
            "- Hot key: the counter right before SendInput of scan code 0x04 with the extended flag, until "
            "the pop-up's pixels on the screen are final: every pixel of a 272x216 box at the screen's centre "
            "(where both programs centre their pop-ups) is read with one BitBlt from the screen DC, from the "
            "press on. The first opening of each pop-up learns its final colours (every pixel still for "
            "300 ms; pixels it leaves as the desktop showed them, and pixels still changing, are not used); "
            "a timed opening is final from the first read in which all learned pixels show them, held "
            "100 ms. The window figures: the process's new dialog window (seen by a WinEvent hook, "
            "EVENT_OBJECT_CREATE, out of context) made, and visible and centred (polled every millisecond). "
            "Then the release, Esc (notice: Enter), the window gone, a WM_NULL answered by the program's main "
            "window so that its hook is back, and the screen back to the desktop before the next press. "
            "dialog_baseline.exe answers scan code 0x05 instead, so both stay resident and every key passes "
            "both hooks. The first opening of each is reported apart.",
            "- First opening after start: Kova started, the key pressed as soon as its tray icon is visible, "
            "until the three-button pop-up's pixels are final (colours learned on an earlier, untimed start); "
            "dialog_baseline.exe started and pressed as soon as its window is made (its hook comes first). A "
            "key that makes no window within 1 s is counted as lost and that start is made again.",
            "- Where the time went: each program marks its steps (kfw::MarkStep) with the performance counter "
            "on a page the driver names in the environment; each step's median over the timed runs, from the "
            "process's creation (start-up) or the key's press (first opening), beside the driver's own "
            "sightings. A step a run marks twice counts at its first time.",
            "- Footprint: handles (the system handle list where GetProcessHandleCount says 0), GDI objects "
            "without stock objects (Wine's GDI table where GetGuiResources says 0), windows (top-level, "
            "descendants, message-only: Wine has no USER object count) and threads, each census taken once "
            "two in a row agree. Pop-ups cycle through the three layouts; censuses after the same layout "
            "compare.",
            "- Typing: \"a\" (scan code 0x1E, which neither program acts on) typed into the driver's own "
            "foreground edit box, one key (press, then release once the key-down came) every 20 ms: nothing "
            "resident, dialog_baseline.exe (one thread, a bare hook), Kova, in three rounds of a third of the "
            "keys each, every case once in each place of the order, each case after 20 untimed keys. The "
            "delay runs from right before SendInput of the press until the box's WM_KEYDOWN. CPU time (run time "
            "from schedstat) and context switches of each thread of the resident program from the last untimed "
            "key to the last timed one, each reading taken once no thread has run for 0.2 s; of the wine server "
            "over the same span, read at once (it is never quiet: Wine's services cost it about 2 ms a second, "
            "which the case with nothing resident shows).",
            "- Memory and idle cost from Linux: VmRSS, Private_Clean + Private_Dirty of smaps_rollup, "
            "utime + stime and voluntary + involuntary context switches of every thread over the idle "
            "window, while the driver sleeps on an event.",
            ""]
    print("\n".join(out))


def typing_section(by_name, out):
    """Each key typed into another program: its delay, and what the resident program and the
    wine server spend on it; Kova against the bare hook."""
    cases = [("none", "nothing resident"), ("dialog_baseline", "bare hook baseline"), ("kova", "Kova")]
    if not any(by_name.get(f"typing.{c}") for c, _ in cases):
        return
    out += ["## Typing: what a resident program adds to each key of another program", "",
            "| resident | keys | delay ms: median | 95th percentile | max | CPU ms per 1000 keys | "
            "context switches per key | threads woken | wine server CPU ms per 1000 keys |",
            "|---|---|---|---|---|---|---|---|---|"]
    for c, label in cases:
        d = by_name.get(f"typing.{c}", {})
        r = by_name.get(f"typing.cost.{c}.resident", {})
        w = by_name.get(f"typing.cost.{c}.wineserver", {})
        out.append(f"| {label} | {fmt(d.get('runs'))} | {fmt(d.get('median'), 3)} | {fmt(d.get('p95'), 3)} | "
                   f"{fmt(d.get('max'), 2)} | {fmt(r.get('cpu_ms_per_1000_keys'))} | "
                   f"{fmt(r.get('switches_per_key'), 2)} | {fmt(r.get('threads_woken'))} | "
                   f"{fmt(w.get('cpu_ms_per_1000_keys'))} |")
    d = by_name.get("typing.ratio", {})
    r = by_name.get("typing.cost.ratio", {})
    out += [f"| Kova / baseline | | {fmt(d.get('ratio_of_medians'), 2)}x | {fmt(d.get('ratio_of_p95'), 2)}x | | "
            f"{fmt(r.get('resident_cpu_ms_per_1000_keys'), 2)}x | {fmt(r.get('resident_switches_per_key'), 2)}x | | "
            f"{fmt(r.get('wineserver_cpu_ms_per_1000_keys'), 2)}x |", "",
            f"Delay added to the median over nothing resident, Kova against the baseline: "
            f"{fmt(d.get('ratio_of_added_medians'), 2)}x.", ""]
    for c, label in cases:
        res = by_name.get(f"typing.cost.{c}.resident")
        if res:
            per = ", ".join(f"{t['order']}{' (main)' if t['main'] else ''} {fmt(t['cpu_ms_per_1000_keys'])}/"
                            f"{fmt(t['switches_per_key'], 2)}" for t in res["threads"])
            unsettled = "" if res["settled"] else " (a reading was taken before the process was quiet)"
            out += [f"{label}, each thread in the order it was made: CPU ms per 1000 keys / context switches per "
                    f"key: {per}{unsettled}.", ""]


def plot(path, png):
    """Box plots with every sample over them: Kova beside its baseline for each path."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    by_name = {}
    for line in open(path):
        if line.strip().startswith("{"):
            obj = json.loads(line)
            by_name.setdefault(obj.get("name"), obj)

    def samples(name):
        return [v for v in by_name.get(name, {}).get("samples", []) if v is not None]

    hot = [("three-button", "hotkey.mode-three"), ("one-button", "hotkey.mode-one"),
           ("notice", "hotkey.notice"), ("first after start", "first")]
    panels = [("Start-up until the tray icon shows", [("start-up", "startup", "tray_baseline")], False),
              ("Hot key until the pop-up's pixels are final", [(l, n, "dialog_baseline") for l, n in hot], True),
              ("Hot key until the pop-up's window is shown", [(l, n + ".shown", "dialog_baseline")
                                                             for l, n in hot], True)]
    fig, axes = plt.subplots(1, 3, figsize=(15, 5.5), gridspec_kw={"width_ratios": [1, 3, 3]})
    colours = {"kova": "#1f5fa8", "baseline": "#999999"}
    for ax, (title, groups, lines) in zip(axes, panels):
        data, positions, tints, ticks, labels = [], [], [], [], []
        for i, (label, prefix, base) in enumerate(groups):
            for j, (who, name) in enumerate([("kova", f"{prefix}.kova"), ("baseline", f"{prefix}.{base}")]):
                values = samples(name)
                if not values:
                    continue
                data.append(values)
                positions.append(i * 3 + j)
                tints.append(colours[who])
            ticks.append(i * 3 + 0.5)
            labels.append(label)
        if data:
            boxes = ax.boxplot(data, positions=positions, widths=0.7, patch_artist=True, showfliers=False)
            for patch, tint in zip(boxes["boxes"], tints):
                patch.set_facecolor(tint)
                patch.set_alpha(0.35)
            for pos, values, tint in zip(positions, data, tints):
                jitter = [pos + ((k * 37) % 11 - 5) * 0.04 for k in range(len(values))]
                ax.scatter(jitter, values, s=10, color=tint, zorder=3)
        firsts = [by_name.get(f"{prefix}.first") for _, prefix, _ in groups]
        if lines:
            for i, f in enumerate(firsts):
                if f and f.get("kova") is not None:
                    ax.scatter([i * 3], [f["kova"]], marker="x", color="#c0392b", s=40, zorder=4,
                               label="first opening, idle" if i == 0 else None)
            ax.axhline(16.7, color="#2e8b57", linestyle="--", linewidth=1, label="16.7 ms (one frame)")
            ax.axhline(33.3, color="#c0392b", linestyle=":", linewidth=1, label="33 ms (two frames)")
        # A few runs slowed by the machine would squash the rest: the axis ends above 95 % of
        # them, and those beyond are counted at the top.
        every = sorted(v for values in data for v in values)
        if every:
            top = max(40.0, every[int(0.95 * (len(every) - 1))] * 1.3)
            ax.set_ylim(0, top)
            for pos, values in zip(positions, data):
                above = sum(v > top for v in values)
                if above:
                    ax.annotate(f"{above} above", (pos, top), xytext=(0, -12), textcoords="offset points",
                                ha="center", fontsize=7)
        ax.set_xticks(ticks)
        ax.set_xticklabels(labels)
        ax.set_title(title, fontsize=10)
        ax.set_ylabel("ms")
        ax.grid(axis="y", alpha=0.3)
    axes[1].scatter([], [], color=colours["kova"], label="Kova")
    axes[1].scatter([], [], color=colours["baseline"], label="baseline")
    axes[1].legend(fontsize=8, loc="upper left")
    meta = by_name.get("bench.run", {})
    fig.suptitle(f"Kova latency against the baselines, {meta.get('date', '?')}, Wine {meta.get('wine', '?')}: "
                 f"boxes over every run; the baselines are a plain tray program and a plain dialog", fontsize=10)
    fig.tight_layout()
    fig.savefig(png, dpi=100)


def main(argv):
    if len(argv) == 4 and argv[1] == "find-pid":
        print(find_pid(argv[2], argv[3]))
    elif len(argv) == 3 and argv[1] == "find-server":
        print(find_server(argv[2]))
    elif len(argv) == 5 and argv[1] == "measure":
        measure(int(argv[2]), argv[3], float(argv[4]))
    elif len(argv) in (3, 4) and argv[1] == "snapshot" and argv[3:] in ([], ["--at-once"]):
        snapshot(int(argv[2]), len(argv) == 4)
    elif len(argv) in (6, 7) and argv[1] == "spent" and argv[6:] in ([], ["--at-once"]):
        spent(int(argv[2]), argv[3], argv[4], int(argv[5]), len(argv) == 7)
    elif len(argv) == 3 and argv[1] == "typing-cost":
        typing_cost(argv[2])
    elif len(argv) == 3 and argv[1] == "report":
        report(argv[2])
    elif len(argv) == 4 and argv[1] == "plot":
        plot(argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
