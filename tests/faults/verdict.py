#!/usr/bin/env python3
"""Judges one run of the fault matrix from what the stand-in logged, what the
UI driver's ping saw and when the harness turned each fault on and off.
Prints the table (also written as Markdown) and exits 1 when a check fails."""

import argparse
import json
import sys

ENTRY_PATH = "/serv/clientservice.asmx"
HEARTBEAT = "9999"
PAUSE_S = 5.0
# Room for a loaded machine on top of the pause and the failed call.
SLACK_S = 3.0
# Two heartbeats closer than this were one heartbeat sent twice.
MIN_BEAT_GAP_S = 4.5
UI_LIMIT_MS = 1000


def is_beat(entry):
    # Redirect hops go to other paths: they belong to the request that was redirected.
    return entry.get("code") == HEARTBEAT and entry.get("path") == ENTRY_PATH


def is_good_beat(entry):
    return (
        is_beat(entry)
        and entry.get("fault") is None
        and entry.get("status") == 200
        and entry.get("committed")
        and entry.get("retn") in ("0", "10001")
    )


def read_ping(path):
    samples = []  # (epoch s, answered, slowest ms, missed)
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            parts = line.split()
            if len(parts) == 4 and all(p.isdigit() for p in parts):
                samples.append((int(parts[0]) / 1000.0, int(parts[1]), int(parts[2]), int(parts[3])))
    return samples


def read_timeline(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            name, label, kind, on, off, stall, alive = line.rstrip("\n").split("\t")
            rows.append(
                {
                    "name": name,
                    "label": label,
                    "kind": kind,
                    "on": int(on) / 1000.0,
                    "off": None if off == "-" else int(off) / 1000.0,
                    "stall": float(stall),
                    "alive": alive == "1",
                }
            )
    return rows


def judge(row, beats, samples):
    """The row's verdict: (survived, recovery text, problems)."""
    problems = []
    on = row["on"]
    if row["kind"] == "flood":
        return judge_flood(row, beats, samples)
    faulted = [b for b in beats if b["time"] >= on - 1 and b.get("fault") == row["name"]]
    if row["kind"] == "count":
        if not faulted:
            problems.append("no heartbeat met the fault")
            off = on
        else:
            # The client gives up on a stalled call at its own time-out, and on
            # a reply over its cap when it stops reading (the writing ended).
            off = max(b.get("ended") or b["time"] for b in faulted) + row["stall"]
    elif row["kind"] == "messages":
        carriers = [b for b in beats if b["time"] >= on and b.get("retn") == "0"]
        if not carriers:
            problems.append("no heartbeat carried the messages")
        off = row["off"] or (carriers[0]["time"] if carriers else on)
        faulted = carriers[:1]
    else:
        off = row["off"]
    after = [b for b in beats if b["time"] > off and b not in faulted]
    good = next((i for i, b in enumerate(after) if is_good_beat(b)), None)
    if good is None:
        problems.append("the heartbeat did not come back")
        back, cycles = None, None
    else:
        back, cycles = after[good]["time"], good + 1
        if cycles > 1:
            problems.append("%d heartbeats before a good one" % cycles)
        if back - off > PAUSE_S + SLACK_S:
            problems.append("back %.1f s after the fault cleared" % (back - off))
    end = back if back is not None else off + PAUSE_S + SLACK_S
    window = [b for b in beats if on - PAUSE_S <= b["time"] <= end]
    for first, second in zip(window, window[1:]):
        if second["time"] - first["time"] < MIN_BEAT_GAP_S:
            problems.append("two heartbeats %.1f s apart" % (second["time"] - first["time"]))
    answered, slowest = ui_watch(samples, on, end, problems)
    if not row["alive"]:
        problems.append("the program ended")
    survived = row["alive"] and answered
    met = "%d heartbeat%s" % (len(faulted), "" if len(faulted) == 1 else "s")
    if row["kind"] == "outage":
        met = "%.0f s" % (off - on)
    return {
        "survived": survived,
        "met": met,
        "slowest": slowest,
        "cycles": cycles,
        "after": None if back is None else back - off,
        "problems": problems,
    }


def ui_watch(samples, start, end, problems):
    """Slowest answer in the stretch, noting what the watch found wrong."""
    watched = [s for s in samples if start <= s[0] <= end + 1]
    answered = sum(s[1] for s in watched)
    missed = sum(s[3] for s in watched)
    if not answered:
        problems.append("the user-interface thread was not watched")
    if missed:
        problems.append("%d pings unanswered within %d ms" % (missed, UI_LIMIT_MS))
    return answered > 0 and not missed, max((s[2] for s in watched), default=0)


def judge_flood(row, beats, samples):
    """Messages still being delivered when the exit comes: taken by one
    heartbeat, and no heartbeat while the worker delivers them."""
    problems = []
    carriers = [b for b in beats if b["time"] >= row["on"] and b.get("retn") == "0"]
    if len(carriers) != 1:
        problems.append("%d heartbeats carried messages" % len(carriers))
    elif [b for b in beats if carriers[0]["time"] < b["time"] <= row["off"]]:
        problems.append("a heartbeat while the messages were being delivered")
    answered, slowest = ui_watch(samples, row["on"], row["off"], problems)
    if not row["alive"]:
        problems.append("the program ended")
    return {
        "survived": row["alive"] and answered,
        "met": "%d heartbeat" % len(carriers),
        "slowest": slowest,
        "cycles": None,
        "after": None,
        "recovered": "still delivering at the exit",
        "problems": problems,
    }


def commands_check(commands, tls=False):
    """The commands besides heartbeats: one sign-in, one version query, one
    logout and nothing after it; with tls, every command over TLS."""
    sent = [c for c in commands if c.get("path") == ENTRY_PATH]
    counts = {}
    for c in sent:
        counts[c.get("code")] = counts.get(c.get("code"), 0) + 1
    problems = []
    for code, expected in (("1000", 1), ("1002", 1), ("1005", 1), ("1004", 1)):
        if counts.get(code, 0) != expected:
            problems.append("%s sent %d times" % (code, counts.get(code, 0)))
    clear = [c for c in sent if not c.get("tls")]
    if tls and clear:
        problems.append("%d commands over plain http" % len(clear))
    ordered = sorted(sent, key=lambda c: c["time"])
    if ordered and ordered[-1].get("code") != "1004":
        problems.append("%s after the logout" % ordered[-1].get("code"))
    return problems


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--log", required=True, help="the stand-in's GET log, JSON")
    parser.add_argument("--ping", required=True, help="output of the UI driver's ping")
    parser.add_argument("--timeline", required=True, help="fault, label, kind, on, off, stall, alive")
    parser.add_argument("--exit", default="", help="problems found at the exit, ';'-separated")
    parser.add_argument("--table", required=True, help="where the Markdown table goes")
    parser.add_argument("--tls", default="0", help="1: every command must have come over TLS")
    args = parser.parse_args(argv)

    with open(args.log, encoding="utf-8") as f:
        commands = json.load(f)["commands"]
    beats = sorted((c for c in commands if is_beat(c)), key=lambda c: c["time"])
    samples = read_ping(args.ping)
    rows = read_timeline(args.timeline)

    lines = [
        "| fault | on for | slowest UI answer | survived | recovered |",
        "|---|---|---|---|---|",
    ]
    failed = False
    for row in rows:
        verdict = judge(row, beats, samples)
        if "recovered" in verdict:
            recovered = verdict["recovered"]
        elif verdict["cycles"] is None:
            recovered = "no"
        else:
            recovered = "after %d cycle%s (%.1f s)" % (
                verdict["cycles"],
                "" if verdict["cycles"] == 1 else "s",
                verdict["after"],
            )
        survived = "yes" if verdict["survived"] else "NO"
        if verdict["problems"]:
            failed = True
            recovered += " — " + "; ".join(verdict["problems"])
        lines.append(
            "| %s | %s | %d ms | %s | %s |"
            % (row["label"], verdict["met"], verdict["slowest"], survived, recovered)
        )
    exit_problems = [p for p in args.exit.split(";") if p] + commands_check(commands, args.tls == "1")
    failed = failed or bool(exit_problems)
    lines.append(
        "| exit afterwards | | | %s | %s |"
        % ("yes" if not exit_problems else "NO", "; ".join(exit_problems) or "logged out once, settings saved")
    )
    table = "\n".join(lines) + "\n"
    print(table, end="")
    with open(args.table, "w", encoding="utf-8") as f:
        f.write("# Fault matrix\n\n" + table)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
