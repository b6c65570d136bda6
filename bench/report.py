#!/usr/bin/env python3
"""Prints the table of a zel_bench run: each case's median against its floor and its target.

Reads the JSON files Google Benchmark wrote (aggregates of repeated runs, or
single runs), takes the median of each case and computes the ratios the
targets are stated in. Cases that did not run show as missing."""
import json
import re
import sys

# Run options that Google Benchmark appends to a case's name.
OPTIONS = re.compile(r"/(min_time:[0-9.]+|real_time|iterations:[0-9]+|repeats:[0-9]+)")


def load(paths):
    """Median entry per case name (a single run stands in for its median)."""
    runs = {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            name = OPTIONS.sub("", b.get("run_name", b["name"]))
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    runs[name] = b
            else:
                runs.setdefault(name, b)
    return runs


def ns(b):
    """CPU time of one iteration in nanoseconds."""
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
    return b["cpu_time"] * scale


def fmt_ns(x):
    if x >= 1e6:
        return "%.2f ms" % (x / 1e6)
    if x >= 1e3:
        return "%.2f us" % (x / 1e3)
    return "%.1f ns" % x


# (path, case, floor, target ratio): the ratio is case time / floor time.
TIME_ROWS = [
    ("container set", "BM_ContainerSetBoundedDouble", "BM_FloorSet", 3),
    ("container get", "BM_ContainerGet", "BM_FloorGet", 2),
    ("user set, exact name", "BM_UserSetExact", "BM_FloorSet", 10),
    ("user set, abbreviation", "BM_UserSetAbbreviation", "BM_FloorSet", 12),
    ("user get", "BM_UserGet", "BM_FloorGet", 10),
    ("object creation", "BM_ObjectCreateDestroy", "BM_FloorBuild", 3),
    ("XML definition, 1,000", "BM_XmlDefineClass/1000", "BM_XercesParseWalk/1000", 4),
    ("coalescing, 10,000 queued", "BM_EventCoalesce/10000", "BM_EventCoalesce/10", 2),
]


def main(paths):
    runs = load(paths)
    rows = [("path", "case median", "floor median", "ratio", "target", "met")]

    def add(path, value, floor, ratio, target, met):
        rows.append((path, value, floor, ratio, target, "yes" if met else "NO"))

    def missing(path, target):
        rows.append((path, "-", "-", "-", target, "not run"))

    for path, case, floor, limit in TIME_ROWS:
        if case not in runs or floor not in runs:
            missing(path, "<= %g x" % limit)
            continue
        c, f = ns(runs[case]), ns(runs[floor])
        add(path, fmt_ns(c), fmt_ns(f), "%.2f" % (c / f), "<= %g x" % limit, c / f <= limit)

    small, big = runs.get("BM_XmlDefineClass/1000"), runs.get("BM_XmlDefineClass/10000")
    if small and big:
        per_small, per_big = ns(small) / 1000, ns(big) / 10000
        r = per_big / per_small
        add("XML definition, 10,000 per property", fmt_ns(per_big), fmt_ns(per_small),
            "%.2f" % r, "<= 1.5 x", r <= 1.5)
    else:
        missing("XML definition, 10,000 per property", "<= 1.5 x")

    ev = runs.get("BM_EventProducerThread")
    if ev:
        # Wall-clock rate against the target; beside it the rate the host
        # thread's own CPU time allows, which a loaded machine does not hide.
        rate = ev.get("items_per_second", 0)
        cpu_rate = ev.get("events_per_iteration", 0) / (ns(ev) / 1e9) if ns(ev) > 0 else 0
        add("event service (wall clock)", "%.0f /s" % rate, "-", "-", ">= 1,000,000 /s",
            rate >= 1e6)
        rows.append(("event service (host thread CPU)", "%.0f /s" % cpu_rate, "-", "-",
                     "report", "-"))
    else:
        missing("event service", ">= 1,000,000 /s")

    timer = runs.get("BM_TimerTickLateness")
    if timer:
        med, p99 = timer["late_median_us"], timer["late_p99_us"]
        add("timer lateness, median", "%.1f us" % med, "-", "-", "<= 100 us", med <= 100)
        add("timer lateness, 99th pct", "%.1f us" % p99, "-", "-", "<= 1000 us", p99 <= 1000)
    else:
        missing("timer lateness", "<= 100 us median, <= 1 ms p99")

    stop = runs.get("BM_StopManyTimers")
    if stop:
        med = stop["stop_median_ms"]
        add("stop of 1 of 200 running timers", "%.3f ms" % med, "-", "-", "<= 10 ms", med <= 10)
        add("destroying the 200 stopped", "%.1f ms" % stop["destroy_all_ms"], "-", "-", "report",
            True)
    else:
        missing("stop of 1 of 200 running timers", "<= 10 ms")

    cs = runs.get("BM_ContainerSetBoundedDouble")
    if cs:
        a, f = cs.get("allocs_per_set", -1), cs.get("frees_per_set", -1)
        add("allocations per set", "%.2f" % a, "-", "-", "<= 1", 0 <= a <= 1)
        add("frees per set", "%.2f" % f, "-", "-", "<= 1", 0 <= f <= 1)
    else:
        missing("allocations per set", "<= 1")

    oc = runs.get("BM_ObjectCreateDestroy")
    if oc:
        add("heap per object (30 properties)", "%.0f B" % oc["heap_bytes_per_object"], "-", "-",
            "report", True)

    widths = [max(len(str(r[i])) for r in rows) for i in range(len(rows[0]))]
    for i, r in enumerate(rows):
        print("  ".join(str(v).ljust(w) for v, w in zip(r, widths)).rstrip())
        if i == 0:
            print("  ".join("-" * w for w in widths))


if __name__ == "__main__":
    main(sys.argv[1:])
