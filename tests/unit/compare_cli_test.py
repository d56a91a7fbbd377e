#!/usr/bin/env python3
"""orvalda-compare as a user runs it: --json holds the schema the user's guide
documents (every key, of its type, no other), and bad input gets one line
and exit code 2.

    compare_cli_test.py ORVALDA_COMPARE
"""

import datetime
import json
import pathlib
import random
import re
import subprocess
import sys
import tempfile

NUM = (int, float)
TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")
DAY = re.compile(r"^\d{4}-\d\d-\d\d$")
SIDE_LETTER = re.compile(r"^[AB]$")
SPREAD = {"count": int, "min": NUM, "median": NUM, "p99": NUM, "max": NUM}
HOURS = ("hours", int)
SIDE = {"name": str, "files": [str], "rows": int, "unreadable_lines": int, "first": TIME, "last": TIME, "pairs": [str],
        "backward_stamps": {"count": int, "kept_at_most": int,
                            "list": [{"file": str, "line": int, "time": TIME, "previous": TIME}]}}
PAIR = {
    "pair": str, "written": ("two", str), "digits": int, "ticks": ("two", int), "changes": ("two", int),
    "lag_ms": (NUM, None), "lag_sharpness": NUM, "lag_curve": [("two", NUM)],
    "lag_by_day": [{"day": DAY, "lag_ms": (NUM, None), "lag_sharpness": NUM, "changes": ("two", int)}],
    "missing": ("two", {"side": SIDE_LETTER, "missed": int, "of": int, "share": NUM, "by_hour": ("hours", int),
                        "longest_runs": [{"from": TIME, "to": TIME, "changes": int}]}),
    "outages": [{"silent": SIDE_LETTER, "from": TIME, "to": TIME, "seconds": NUM, "other_ticks": int}],
    "spread_points": ("two", SPREAD),
    "spread_by_hour": ("two", ("hours", SPREAD)),
    "mid_difference_points": {"count": int, "median": NUM, "p1": NUM, "p99": NUM,
                              "over_time": [{"from": TIME, "mean": NUM, "min": NUM, "max": NUM}]},
    "bad_ticks": {"count": int, "kept_at_most": int,
                  "list": [{"side": SIDE_LETTER, "time": TIME, "bid": str, "ask": str, "other_bid": str, "other_ask": str,
                            "off_points": NUM, "file": str, "line": int}]},
    "ticks_per_minute": ("two", {"mean": NUM, "by_hour": ("hours", NUM)}),
}
SCHEMA = {"tool": str, "schema": int, "settings": {"tolerance_ms": int, "min_outage_ms": int, "max_lag_ms": int},
          "sides": ("two", SIDE), "common_from": TIME, "common_to": TIME, "pairs": [PAIR]}


def check(value, schema, where, seen):
    """Fails unless value has the schema's shape; notes each list that had items."""
    if isinstance(schema, dict):
        assert isinstance(value, dict) and set(value) == set(schema), f"{where}: keys {sorted(value)} != {sorted(schema)}"
        for key, sub in schema.items():
            check(value[key], sub, f"{where}.{key}", seen)
    elif isinstance(schema, list):
        assert isinstance(value, list), f"{where}: not a list"
        if value:
            seen.add(where)
        for i, item in enumerate(value):
            check(item, schema[0], f"{where}[]", seen)
    elif isinstance(schema, tuple) and schema and schema[0] in ("two", "hours"):
        assert isinstance(value, list) and len(value) == (2 if schema[0] == "two" else 24), f"{where}: not a list of {schema[0]}"
        for item in value:
            check(item, schema[1], f"{where}[]", seen)
    elif isinstance(schema, re.Pattern):
        assert isinstance(value, str) and schema.match(value), f"{where}: {value!r}"
    elif schema is None:
        assert value is None, f"{where}: {value!r} is not null"
    elif isinstance(schema, tuple) and None in schema:
        assert value is None or check(value, schema[0], where, seen) is None
    else:
        assert isinstance(value, schema) and not isinstance(value, bool), f"{where}: {value!r} is not {schema}"


def write(folder, pair, rows):
    folder.mkdir(parents=True, exist_ok=True)
    with open(folder / f"{pair.replace('/', '')}.csv", "w", newline="") as f:
        for ms, bid, ask in rows:
            t = datetime.datetime(2026, 12, 1) + datetime.timedelta(milliseconds=ms)
            f.write(f"{pair},{t:%Y%m%d %H:%M:%S}.{ms % 1000:03d},{bid / 1e5:.5f},{ask / 1e5:.5f}\r\n")


def two_brokers(root):
    """Ten minutes of one price, B 50 ms behind, silent a minute, with a spike."""
    rng = random.Random(4)
    a, b = [], []
    t, mid = 9 * 3600000, 108000
    for k in range(3000):
        t += rng.randint(50, 350)
        mid += rng.choice((-2, -1, 1, 2))
        a.append((t + rng.randint(0, 5), mid, mid + 12))
        if not 9 * 3600000 + 120000 <= t < 9 * 3600000 + 180000:
            b.append((t + 50 + rng.randint(0, 5), mid, mid + 15))
        if k == 2000:
            b.append((b[-1][0] + 20, mid + 900, mid + 915))
    write(root / "broker-a", "EUR/USD", a)
    write(root / "broker-b", "eurusd", b)


def run(tool, *args):
    return subprocess.run([tool, *map(str, args)], capture_output=True, text=True, timeout=120)


def fails_with(tool, pattern, *args):
    done = run(tool, *args)
    assert done.returncode == 2, f"{args}: exit {done.returncode}, {done.stderr}"
    lines = done.stderr.splitlines()
    assert len(lines) == 1 and re.search(pattern, lines[0]), f"{args}: {done.stderr!r} lacks {pattern!r}"
    assert done.stdout == "", done.stdout


def main(tool):
    with tempfile.TemporaryDirectory() as d:
        root = pathlib.Path(d)
        two_brokers(root)
        done = run(tool, "--json", root / "broker-a", root / "broker-b")
        assert done.returncode == 0, done.stderr
        report = json.loads(done.stdout)
        seen = set()
        check(report, SCHEMA, "$", seen)
        for needed in ("$.pairs", "$.pairs[].lag_curve", "$.pairs[].lag_by_day", "$.pairs[].outages", "$.pairs[].bad_ticks.list",
                       "$.pairs[].mid_difference_points.over_time"):
            assert needed in seen, f"{needed} was empty: its items went unchecked"
        assert [s["name"] for s in report["sides"]] == ["broker-a", "broker-b"], report["sides"]

        # Bad input: one line, exit code 2.
        (root / "empty").mkdir()
        write(root / "other", "GBP/USD", [(9 * 3600000, 127000, 127010)])
        write(root / "later", "EURUSD", [(20 * 3600000, 108000, 108010)])
        fails_with(tool, r"nowhere.* does not exist", root / "broker-a", root / "nowhere")
        fails_with(tool, r"side B has no recording", root / "broker-a", root / "empty")
        fails_with(tool, r"no pair in common: broker-a has EUR/USD; other has GBP/USD", root / "broker-a", root / "other")
        fails_with(tool, r"no time in common: broker-a runs from 2026-12-01 09:00:00\.\d{3} to 2026-12-01 09:\d\d:\d\d\.\d{3}, "
                         r"later from 2026-12-01 20:00:00\.000 to 2026-12-01 20:00:00\.000", root / "broker-a", root / "later")
        fails_with(tool, r"give two recordings", root / "broker-a")
    print("orvalda-compare: JSON schema and bad input as documented")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
