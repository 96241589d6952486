"""Turns bench/run.sh's raw figures into the results table (Markdown): each
figure the median of its repeats, with their spread (min–max).
Usage: table.py RAW MACHINE REPEATS IDLE_SECONDS CALLS
       table.py --moves RAW NAME   (exit 0 when NAME's repeats spread over more than 20 %)"""

import statistics
import sys

MIB = 1 << 20
MOVES = 0.2  # a floor whose repeats spread wider than this share of its median moved


def spread(values):
    """(max - min) / median of the repeats, 0 for fewer than two."""
    if len(values) < 2:
        return 0.0
    middle = statistics.median(values)
    return (max(values) - min(values)) / middle if middle else 0.0


def moves(raw, name):
    return spread(load(raw).get(name, [])) > MOVES


def load(path):
    values = {}
    for line in open(path, encoding="utf-8"):
        name, _, value = line.strip().partition(" ")
        try:
            number = float(value)
        except ValueError:
            continue
        if number == number:  # not NaN: a failed run
            values.setdefault(name, []).append(number)
    return values


def main(raw, machine, repeats, idle_seconds, calls):
    v = load(raw)
    med = lambda name: statistics.median(v[name]) if v.get(name) else None
    rows = []

    def span(name, form, scale=1.0):
        """The repeats' range in the figure's own form, for a median shown as form."""
        if len(v.get(name, [])) < 2:
            return ""
        return " (%s–%s)" % (form % (min(v[name]) / scale), form % (max(v[name]) / scale))

    def floor_note(name, block):
        if "moving_" + name in v:
            return "; floor still moves %.0f %% after a rerun" % (100 * spread(v[name]))
        if "rerun_" + block in v:
            return "; rerun: its floor had moved over 20 %"
        return ""

    def row(figure, measured, floor, ratio, goal, met):
        rows.append((figure, measured, floor, ratio, goal, "yes" if met else ("no" if met is not None else "n/a")))

    cold, cold_floor = med("cold_app"), med("cold_floor")
    if cold and cold_floor:
        ratio = cold / cold_floor
        row("Cold start: process start to login dialog shown" + floor_note("cold_floor", "startup_rows"),
            "%.0f ms" % cold + span("cold_app", "%.0f"),
            "%.0f ms" % cold_floor + span("cold_floor", "%.0f") + " (one dialog from a resource)",
            "%.2f×" % ratio, "≤ 1.2×", ratio <= 1.2)
    themed = med("cold_themed_floor")
    if cold and themed:
        row("Cold start against the same dialog with the program's manifest",
            "%.0f ms" % cold + span("cold_app", "%.0f"),
            "%.0f ms" % themed + span("cold_themed_floor", "%.0f") + " (the floor's dialog with common controls 6)",
            "%.2f×" % (cold / themed), "", None)
    login = med("cold_login_floor")
    if cold and login:
        row("Cold start against the login dialog's own template, unskinned, with the program's manifest",
            "%.0f ms" % cold + span("cold_app", "%.0f"),
            "%.0f ms" % login + span("cold_login_floor", "%.0f") + " (the platform's share: %.2f× the first floor)"
            % (login / cold_floor if cold_floor else float("nan")),
            "%.2f×" % (cold / login), "", None)

    signin, auto, rate_floor = med("signin_app"), med("auto_app"), med("calls_floor")
    if signin and rate_floor:
        trip = 1000.0 / rate_floor
        excess = signin - 2 * trip
        note = "; auto-login, start to main window: %.0f ms" % auto if auto else ""
        row("Sign-in: the dialog's sign-in pressed (1 s after it showed) to main window shown",
            "%.0f ms%s%s" % (signin, span("signin_app", "%.0f"), note),
            "2 raw round trips = %.1f ms" % (2 * trip), "+%.0f ms" % excess, "≤ 2 trips + 100 ms", excess <= 100)
    at_once = med("signin_at_once_app")
    if at_once and rate_floor:
        row("Sign-in pressed at once, while the dialog's advertisement download starts",
            "%.0f ms%s" % (at_once, span("signin_at_once_app", "%.0f")),
            "2 raw round trips = %.1f ms" % (2 * trip), "+%.0f ms" % (at_once - 2 * trip), "", None)

    for key, label in (("calls", "kept-open connection"), ("close", "`Connection: close` on every reply")):
        app, floor = med(key + "_app"), med(key + "_floor")
        if app and floor:
            ratio = app / floor
            row("Service calls, %s%s" % (label, floor_note(key + "_floor", "call_rows")),
                "%.0f calls/s" % app + span(key + "_app", "%.0f"),
                "%.0f calls/s" % floor + span(key + "_floor", "%.0f") + " (raw C++ client)",
                "%.2f×" % ratio, "≥ 0.8×", ratio >= 0.8)

    # Over TLS: against the plain raw client, which has no TLS.
    tls_app, floor = med("tls_calls_app"), med("calls_floor")
    if tls_app and floor:
        row("Service calls over TLS, kept-open connection", "%.0f calls/s" % tls_app,
            "%.0f calls/s (raw C++ client, plain HTTP: it has no TLS)" % floor, "%.2f×" % (tls_app / floor),
            "", None)
    first, first_floor = med("tls_first_app"), med("tls_first_floor")
    if first and first_floor:
        row("First service call over TLS: connect, handshake, certificate check and call", "%.1f ms" % first,
            "%.1f ms (the first call over plain HTTP)" % first_floor, "+%.1f ms" % (first - first_floor), "", None)

    idle, idle_floor = med("idle_app"), med("idle_floor")
    if idle is not None and idle_floor is not None:
        above = idle - idle_floor
        row("Idle: CPU over %s s signed in, heartbeats with no news" % idle_seconds, "%.3f %% of a core" % idle,
            "%.3f %% (empty message loop)" % idle_floor, "+%.3f %%" % above, "≤ +0.2 %", above <= 0.2)

    mem, mem_floor = med("mem_app"), med("mem_floor")
    if mem and mem_floor:
        limit = 1.5 * mem_floor + 10 * MIB
        row("Memory: private bytes 3 s after sign-in", "%.1f MiB" % (mem / MIB) + span("mem_app", "%.1f", MIB),
            "%.1f MiB (one dialog)" % (mem_floor / MIB),
            "%.2f×" % (mem / mem_floor), "≤ 1.5× + 10 MiB = %.1f MiB" % (limit / MIB), mem <= limit)
    idle_mem = med("idle_mem_app")
    if idle_mem and mem_floor:
        limit = 1.5 * mem_floor + 10 * MIB
        row("Memory: private bytes at the end of the idle run", "%.1f MiB" % (idle_mem / MIB),
            "%.1f MiB (one dialog)" % (mem_floor / MIB), "%.2f×" % (idle_mem / mem_floor),
            "≤ %.1f MiB" % (limit / MIB), idle_mem <= limit)

    base = med("growth_cycle_ms_0")
    per = {}
    for n in (1, 100, 5000):
        cycle = med("growth_cycle_ms_%d" % n)
        if cycle is not None and base is not None:
            per[n] = (cycle - base) / n
    if per:
        flat = per.get(5000, 0) / per[100] if per.get(100) else None
        page = med("growth_page_ms_5000")
        cycle = med("growth_cycle_ms_5000")
        share = " (page calls: %.0f %% of the 5 000 cycle)" % (100 * page / cycle) if page and cycle else ""
        row("Growth: time per message to the page (1 / 100 / 5 000 a reply)",
            " / ".join("%.3f ms" % per[n] for n in sorted(per)) + share,
            "empty heartbeat cycle %.1f ms, subtracted" % base,
            "5 000 vs 100: %.2f×" % flat if flat else "n/a", "flat: ≤ 1.5×", flat is not None and flat <= 1.5)
    queue, limit = med("growth_queue"), med("growth_queue_limit")
    first, end = med("growth_private_after_first"), med("growth_private_at_end")
    cycles = med("growth_memory_cycles")
    if queue is not None and first and end:
        grown = (end - first) / MIB
        row("Growth: notice queue and memory over %d more replies of 5 000, popup hidden" % cycles,
            "queue %d, +%.1f MiB" % (queue, grown), "queue bound %d" % limit, "",
            "bounded queue, < 1 MiB growth", queue <= limit and grown < 1.0)
    heartbeat, page = med("stall_heartbeat"), med("stall_page")
    if heartbeat is not None:
        # The worker makes the call: the UI thread answers as it would without one.
        row("UI thread: slowest answer while the heartbeat's call stalls to its 10 s time-out",
            "%.0f ms" % heartbeat + span("stall_heartbeat", "%.0f"), "", "", "not held: < 1 s", heartbeat < 1000)
    if page is not None:
        # The UI thread makes the call, by design: held no longer than the time-out.
        row("UI thread: slowest answer while a page command's call stalls (held by design)",
            "%.0f ms" % page + span("stall_page", "%.0f"), "", "", "≤ the 10 s time-out + 1 s", page <= 11000)
    calls_ok = med("growth_page_calls") == med("growth_expected_calls")

    lines = ["| figure | measured | floor | ratio | goal | met |", "|---|---|---|---|---|---|"]
    lines += ["| %s |" % " | ".join(r) for r in rows]
    info = dict(line.strip().split(" ", 1) for line in open(machine, encoding="utf-8") if " " in line)
    lines += [
        "",
        "Medians of %s runs, their range in brackets (idle: %d runs; stalls: %d; Entry: %s calls a run); "
        "every message reached the fake page: %s."
        % (repeats, len(v.get("idle_app", [])), len(v.get("stall_page", [])), calls, "yes" if calls_ok else "NO"),
        "Measured %s on %s, %s cores, %s, under Wine on Xvfb; load average at the end %s."
        % (info.get("date", "?"), info.get("cpu", "?"), info.get("cores", "?"), info.get("wine", "?"), info.get("load", "?")),
    ]
    print("\n".join(lines))


if __name__ == "__main__":
    if sys.argv[1] == "--moves":
        sys.exit(0 if moves(sys.argv[2], sys.argv[3]) else 1)
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5])
