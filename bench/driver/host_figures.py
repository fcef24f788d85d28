#!/usr/bin/python3
"""What only the host sees of a Wine process, and the report of a benchmark run.

  host_figures.py find-pid EXE PREFIX        Linux pid of the Wine process running EXE
  host_figures.py measure PID LABEL SECONDS  memory, threads, then CPU time and context
                                             switches per thread over SECONDS idle seconds
  host_figures.py report RESULTS.json        the readable table of a run, in Markdown

EXE is the program's path as Windows names it (Z:\\...\\Kova.exe) or as Linux does. Wine
puts the program's path in argv[0]; PREFIX (the WINEPREFIX) tells two trees apart.
Figures are printed as JSON objects, one a line.
"""
import json
import os
import sys
import time


def read(path):
    with open(path, "rb") as f:
        return f.read()


def windows_to_linux(path):
    """Z:\\tmp\\x.exe -> /tmp/x.exe; other drives are left as they are."""
    if len(path) > 2 and path[1] == ":" and path[0] in "zZ":
        return path[2:].replace("\\", "/")
    return path


def find_pid(exe, prefix):
    wanted = {exe.lower(), windows_to_linux(exe).lower()}
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            argv0 = read(f"/proc/{entry}/cmdline").split(b"\0")[0].decode(errors="replace").strip()
            env = read(f"/proc/{entry}/environ").split(b"\0")
        except OSError:
            continue
        if argv0.lower() in wanted and f"WINEPREFIX={prefix}".encode() in env:
            found.append(int(entry))
    if len(found) != 1:
        sys.exit(f"host_figures: {len(found)} processes run {exe} in {prefix}")
    return found[0]


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
    """tid -> (name, cpu ticks, voluntary and involuntary switches) of each thread."""
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            stat = read(f"/proc/{pid}/task/{tid}/stat").decode()
            status = status_fields(f"/proc/{pid}/task/{tid}/status")
        except OSError:
            continue   # ended between the listing and the read
        # The name may hold spaces and parentheses: the fields follow the last ")".
        rest = stat[stat.rindex(")") + 2:].split()
        threads[int(tid)] = (status.get("Name", "?"), int(rest[11]) + int(rest[12]),
                             int(status["voluntary_ctxt_switches"]),
                             int(status["nonvoluntary_ctxt_switches"]))
    return threads


def measure(pid, label, seconds):
    ms_per_tick = 1000.0 / os.sysconf("SC_CLK_TCK")
    emit = lambda obj: print(json.dumps(obj), flush=True)
    emit(dict(name=f"host.{label}.memory", unit="KiB", pid_linux=pid, **memory(pid)))
    before = thread_counters(pid)
    emit(dict(name=f"host.{label}.threads", unit="count", value=len(before)))
    # The idle window itself: what the process does while nobody asks anything of it.
    start = time.monotonic()
    time.sleep(seconds)
    after = thread_counters(pid)
    elapsed = time.monotonic() - start
    rows = []
    for tid in sorted(set(before) | set(after)):
        b = before.get(tid)
        a = after.get(tid)
        base = b or (a[0], 0, 0, 0)
        last = a or b
        rows.append(dict(tid=tid, name=last[0], main=tid == pid,
                         state="new" if not b else "ended" if not a else "lived",
                         cpu_ms=round((last[1] - base[1]) * ms_per_tick, 1),
                         voluntary=last[2] - base[2], involuntary=last[3] - base[3]))
    emit(dict(name=f"host.{label}.idle", unit="per window", seconds=round(elapsed, 1),
              cpu_ms=round(sum(r["cpu_ms"] for r in rows), 1),
              context_switches=sum(r["voluntary"] + r["involuntary"] for r in rows),
              threads=rows))
    emit(dict(name=f"host.{label}.memory_after_idle", unit="KiB", pid_linux=pid, **memory(pid)))


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

    targets = []
    for name, label in [("startup.ratio", "start-up within 1.1x of the tray baseline"),
                        ("hotkey.mode-three.ratio",
                         "hot key to three-button pop-up within 1.5x of the dialog baseline"),
                        ("hotkey.mode-one.ratio", "hot key to one-button pop-up within 1.5x of the dialog baseline"),
                        ("hotkey.notice.ratio", "hot key to switch-off notice within 1.5x of the dialog baseline")]:
        r = by_name.get(name)
        if r:
            targets.append(f"| {label} | {fmt(r['ratio_of_medians'], 2)}x (ratio of medians) | "
                           f"{'yes' if r['met'] else '**no**'} |")
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
    kinds = [("mode-three", "three-button pop-up"), ("mode-one", "one-button pop-up"),
             ("notice", "switch-off notice")]
    pairs = []
    for kind, label in kinds:
        pairs += [(f".{kind}", label, "dialog_baseline"), (f".{kind}.made", f"({label}: window made)",
                                                            "dialog_baseline")]
    paired("Hot key: key press until the pop-up is visible, centred", "hotkey", pairs)
    firsts = [by_name.get(f"hotkey.{k}.first") for k, _ in kinds]
    if all(firsts):
        out += ["First opening of each (not in the medians): " +
                ", ".join(f"{label} Kova {fmt(f['kova'])} ms / baseline {fmt(f['dialog_baseline'])} ms"
                          for (_, label), f in zip(kinds, firsts)) + ".", ""]
    for key in ("startup.missed_events", "hotkey.missed_events"):
        missed = by_name.get(key, {})
        if missed.get("value") or missed.get("untimed"):
            out += [f"{key}: windows found by the back-up walk (every 100 ms), not by their event: "
                    f"{missed.get('value', 0)} in timed runs, {missed.get('untimed', 0)} in untimed ones.", ""]

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
        if label not in labels:
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

    known = ("bench.", "startup", "hotkey", "footprint.", "host.", "size.")
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
            "the process's new dialog window (seen by the same hook) is visible and centred on the screen. "
            "Then the release, Esc (notice: Enter), the window gone, and a WM_NULL answered by the program's "
            "main window, so that its hook is back before the next press. dialog_baseline.exe answers "
            "scan code 0x05 instead, so both stay resident and every key passes both hooks. The first "
            "opening of each is reported apart.",
            "- Footprint: handles (the system handle list where GetProcessHandleCount says 0), GDI objects "
            "without stock objects (Wine's GDI table where GetGuiResources says 0), windows (top-level, "
            "descendants, message-only: Wine has no USER object count) and threads, each census taken once "
            "two in a row agree. Pop-ups cycle through the three layouts; censuses after the same layout "
            "compare.",
            "- Memory and idle cost from Linux: VmRSS, Private_Clean + Private_Dirty of smaps_rollup, "
            "utime + stime and voluntary + involuntary context switches of every thread over the idle "
            "window, while the driver sleeps on an event.",
            ""]
    print("\n".join(out))


def main(argv):
    if len(argv) == 4 and argv[1] == "find-pid":
        print(find_pid(argv[2], argv[3]))
    elif len(argv) == 5 and argv[1] == "measure":
        measure(int(argv[2]), argv[3], float(argv[4]))
    elif len(argv) == 3 and argv[1] == "report":
        report(argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
