#!/usr/bin/env python3
"""Prints the table of a zel_bench run: each case's median, its floor's, its best peer's (GObject,
Qt) and the ratio to each, and its target.

Reads the JSON files Google Benchmark wrote (aggregates of repeated runs, or
single runs), takes the median of each case and computes the ratios the
targets are stated in. Cases that did not run show as missing; a build without
the peers leaves their columns empty and the targets stated against a peer
"not run"."""
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


# What each peer case measures, as the table names it.
PEERS = {
    "BM_QtSetProperty": "Qt setProperty",
    "BM_GObjectSetByName": "GObject g_object_set",
    "BM_QtProperty": "Qt property",
    "BM_GObjectGetByName": "GObject g_object_get",
    "BM_QtMetaPropertyWrite": "Qt QMetaProperty::write",
    "BM_GObjectSetProperty": "GObject g_object_set_property",
    "BM_GObjectSetRefused": "GObject refused set",
    "BM_GObjectNewUnref": "GObject g_object_new",
    "BM_GObjectNewSetAllUnref": "GObject new + 30 sets",
    "BM_QtNewDelete": "Qt new + delete",
    "BM_GLibIdleDispatch": "GLib idle dispatch",
    "BM_QtPostEvent": "Qt postEvent",
}

SET_PEERS = ["BM_QtSetProperty", "BM_GObjectSetByName"]
EVENT_PEERS = ["BM_GLibIdleDispatch", "BM_QtPostEvent"]

# (path, case, floor, peers, (what the target is against, limit)). The target is
# a ratio of the case's median to a peer's or to the floor's.
TIME_ROWS = [
    ("set, exact name", "BM_UserSetExact", "BM_FloorSet", SET_PEERS, ("BM_QtSetProperty", 1)),
    ("set, case-insensitive name", "BM_UserSetCaseInsensitive", "BM_FloorSet", SET_PEERS,
     ("BM_QtSetProperty", 1.5)),
    ("set, abbreviation", "BM_UserSetAbbreviation", "BM_FloorSet", SET_PEERS,
     ("BM_QtSetProperty", 1.5)),
    ("get by name", "BM_UserGet", "BM_FloorGet", ["BM_QtProperty", "BM_GObjectGetByName"],
     ("BM_GObjectGetByName", 1)),
    ("container set", "BM_ContainerSetBoundedDouble", "BM_FloorSet",
     ["BM_QtMetaPropertyWrite", "BM_GObjectSetProperty"], ("BM_QtMetaPropertyWrite", 1)),
    ("container get", "BM_ContainerGet", "BM_FloorGet", [], ("BM_FloorGet", 2)),
    ("refused set", "BM_UserSetRefused", "BM_FloorSetRefused", ["BM_GObjectSetRefused"],
     ("BM_GObjectSetRefused", 1)),
    ("create + destroy, 30 properties", "BM_ObjectCreateDestroy", "BM_FloorBuild",
     ["BM_GObjectNewUnref", "BM_QtNewDelete"], ("BM_GObjectNewUnref", 2)),
    ("callback event, one thread", "BM_EventHandAndRun", None, EVENT_PEERS,
     ("BM_GLibIdleDispatch", 1)),
    ("XML class, 1,000", "BM_XmlDefineClass/1000", "BM_XercesParseWalk/1000", [],
     ("BM_XercesParseWalk/1000", 1.5)),
    ("XML class, 10,000", "BM_XmlDefineClass/10000", "BM_XercesParseWalk/10000", [],
     ("BM_XercesParseWalk/10000", 1.5)),
    ("coalescing, 10,000 queued", "BM_EventCoalesce/10000", "BM_EventCoalesce/10", [],
     ("BM_EventCoalesce/10", 2)),
]

# What the host's conventions cost by themselves, beside the peer their path is
# measured against: (path, case, peer). Reported, with no target of their own.
REFERENCE_ROWS = [
    ("  one host error thrown and caught", "BM_HostErrorThrow", "BM_GObjectSetRefused"),
    ("  create + destroy, no properties", "BM_ObjectCreateDestroyMany/0", "BM_GObjectNewUnref"),
    ("  create, set all 30 once, destroy", "BM_ObjectCreateSetAllDestroy",
     "BM_GObjectNewSetAllUnref"),
]

# Cases timed per event handed over and run (a batch per iteration).
EVENT_CASES = {"BM_EventHandAndRun", "BM_GLibIdleDispatch", "BM_QtPostEvent"}

# What the targets stated against a floor are against.
FLOORS = {
    "BM_XercesParseWalk/1000": "bare DOM parse",
    "BM_XercesParseWalk/10000": "bare DOM parse",
    "BM_EventCoalesce/10": "10 queued",
}


def label(case):
    return PEERS.get(case) or FLOORS.get(case, "floor")


HEADER = ("path", "median", "floor", "x floor", "best peer", "peer median", "x peer", "target",
          "met")


def main(paths):
    runs = load(paths)
    rows = [HEADER]

    def time(case):
        if case not in runs:
            return None
        b = runs[case]
        if case in EVENT_CASES and b.get("items_per_second"):
            return 1e9 / b["items_per_second"]
        return ns(b)

    def ratio(a, b):
        return "%.2f" % (a / b) if a is not None and b else "-"

    for path, case, floor, peers, (against, limit) in TIME_ROWS:
        c, f, ref = time(case), time(floor) if floor else None, time(against)
        measured = [(time(p), p) for p in peers if time(p) is not None]
        best = min(measured) if measured else None
        target = "<= %g x %s" % (limit, label(against))
        if against in PEERS and ref is not None and (best is None or best[1] != against):
            target += " (%s)" % fmt_ns(ref)  # a peer the other columns do not show
        met = "not run" if c is None or ref is None else ("yes" if c <= limit * ref else "NO")
        rows.append((path, fmt_ns(c) if c is not None else "-", fmt_ns(f) if f else "-",
                     ratio(c, f), label(best[1]) if best else "-",
                     fmt_ns(best[0]) if best else "-", ratio(c, best[0] if best else None),
                     target, met))

    for path, case, peer in REFERENCE_ROWS:
        c, p = time(case), time(peer)
        rows.append((path, fmt_ns(c) if c is not None else "-", "-", "-",
                     label(peer) if p is not None else "-", fmt_ns(p) if p is not None else "-",
                     ratio(c, p), "report", "-"))

    def add(path, value, target, met, peer="-", peer_value="-"):
        rows.append((path, value, "-", "-", peer, peer_value, "-", target,
                     "yes" if met is True else "NO" if met is False else met))

    small, big = runs.get("BM_XmlDefineClass/1000"), runs.get("BM_XmlDefineClass/10000")
    if small and big:
        r = (ns(big) / 10000) / (ns(small) / 1000)
        add("XML class, 10,000 per property", "%.2f x 1,000" % r, "<= 1.5 x", r <= 1.5)

    ev = runs.get("BM_EventProducerThread")
    if ev:
        # Wall-clock rate against the target; beside it the rate the host
        # thread's own CPU time allows, which a loaded machine does not hide.
        rate = ev.get("items_per_second", 0)
        cpu_rate = ev.get("events_per_iteration", 0) / (ns(ev) / 1e9) if ns(ev) > 0 else 0
        add("event service, two threads (wall)", "%.0f /s" % rate, ">= 1,000,000 /s", rate >= 1e6)
        add("event service (host thread CPU)", "%.0f /s" % cpu_rate, "report", "-")
    else:
        add("event service, two threads (wall)", "-", ">= 1,000,000 /s", "not run")

    timer = runs.get("BM_TimerTickLateness")
    if timer:
        # The floor: a bare timed wait for the same deadlines, in the same case.
        for what, key, bound in [("median", "median_us", 50), ("99th pct", "p99_us", 200)]:
            value, floor = timer["late_" + key], timer.get("floor_" + key)
            rows.append(("timer 1 ms, %s lateness" % what, "%.1f us" % value,
                         "%.1f us" % floor if floor else "-",
                         "%.2f" % (value / floor) if floor else "-", "-", "-", "-",
                         "<= %d us" % bound, "yes" if value <= bound else "NO"))
    else:
        add("timer 1 ms, lateness", "-", "<= 50 us median, <= 200 us p99", "not run")
    stop = runs.get("BM_StopManyTimers")
    if stop:
        add("stopping 200 running timers, in all", "%.1f ms" % stop["stop_all_ms"], "<= 50 ms",
            stop["stop_all_ms"] <= 50)
        add("stop of 1 of 200 running timers", "%.3f ms" % stop["stop_median_ms"], "report", "-")
    else:
        add("stopping 200 running timers", "-", "<= 50 ms", "not run")

    for path, case in [("heap allocations per set, container", "BM_ContainerSetBoundedDouble"),
                       ("heap allocations per set, host road", "BM_UserSetExact")]:
        a = runs.get(case, {}).get("allocs_per_set")
        if a is None:
            add(path, "-", "0", "not run")
        else:
            add(path, "%.2f" % a, "0", a == 0)

    oc = runs.get("BM_ObjectCreateDestroy")
    if oc:
        heap = oc["heap_bytes_per_object"]
        peer_heaps = [(runs[p]["heap_bytes_per_object"], p)
                      for p in ("BM_GObjectNewUnref", "BM_QtNewDelete")
                      if "heap_bytes_per_object" in runs.get(p, {})]
        best = min(peer_heaps) if peer_heaps else None
        add("heap per object, 30 properties", "%.0f B" % heap, "<= 2048 B", heap <= 2048,
            label(best[1]) if best else "-", "%.0f B" % best[0] if best else "-")
    used = runs.get("BM_ObjectCreateSetAllDestroy", {}).get("heap_bytes_per_object")
    if used is not None:
        add("  heap per object, all 30 set once", "%.0f B" % used, "report", "-")
    narrow, wide = time("BM_UserSetExact"), time("BM_UserSetExactWide")
    if narrow and wide:
        add("growth, set by name, 30 to 3,000", "%.2f x" % (wide / narrow), "<= 1.2 x",
            wide <= 1.2 * narrow)
    else:
        add("growth, set by name, 30 to 3,000", "-", "<= 1.2 x", "not run")
    # Creation is linear when a property costs the same among 3,000 as among 30.
    many = runs.get("BM_ObjectCreateDestroyMany/3000")
    if oc and many:
        r = (ns(many) / 3000) / (ns(oc) / 30)
        add("growth, create per property, 3,000", "%.2f x 30" % r, "<= 1.2 x", r <= 1.2)
        h = (many["heap_bytes_per_object"] / 3000) / (oc["heap_bytes_per_object"] / 30)
        add("growth, heap per property, 3,000", "%.2f x 30" % h, "<= 1.2 x", h <= 1.2)
    else:
        add("growth, create and heap per property", "-", "<= 1.2 x", "not run")

    widths = [max(len(str(r[i])) for r in rows) for i in range(len(rows[0]))]
    for i, r in enumerate(rows):
        print("  ".join(str(v).ljust(w) for v, w in zip(r, widths)).rstrip())
        if i == 0:
            print("  ".join("-" * w for w in widths))


if __name__ == "__main__":
    main(sys.argv[1:])
