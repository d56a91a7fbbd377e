#!/usr/bin/python3
"""orvalda-compare against pandas, the tool a user would otherwise reach for,
in the same run:

    compare_bench.py ORVALDA_COMPARE [FOLDER]

Writes a month of two brokers' feeds of EUR/USD into FOLDER/a and FOLDER/b
(default: a temporary folder; kept for the next run when given), a .csv.gz a
day, 1,000,000 rows a side: one random walk, B's ticks 142 ms after A's with
a few ms of their own, B dropping 1% of the changes and quoting wider.
Then times orvalda-compare on it (a separate process, its whole run and its
processor time, best of five; it must take under a second of one core) and a pandas script computing the same lag by day (the same contrast
over candidate lags, 20 ms apart, then 1 ms near the best), missing shares
and spreads (in this process, best of one), checks that both found the same,
and prints the times and the ratio. Then orvalda-compare's peak memory on the
first week and on the whole month: it must not grow with the month. Run it
with Debian's /usr/bin/python3 and python3-pandas (bench/compare_bench.sh
does).
"""

import datetime
import gzip
import json
import pathlib
import resource
import subprocess
import sys
import tempfile
import time

import numpy as np
import pandas as pd

DAYS = 30
ROWS = 1_000_000
LAG_MS = 142
START = datetime.datetime(2026, 11, 2)


def write_month(folder):
    rng = np.random.default_rng(1)
    per_day = ROWS // DAYS + 1
    for s in "ab":
        (folder / s).mkdir(parents=True, exist_ok=True)
    for day in range(DAYS):
        date = START + datetime.timedelta(days=day)
        base = int(date.replace(tzinfo=datetime.timezone.utc).timestamp() * 1000)
        t = base + np.sort(rng.integers(0, 86_400_000 - 5_000, per_day))
        mid = 108000 + np.cumsum(rng.choice([-2, -1, 1, 2], per_day))
        for side in "ab":
            keep = np.ones(per_day, bool) if side == "a" else rng.random(per_day) >= 0.01
            stamp = t + rng.integers(0, 9, per_day) + (LAG_MS if side == "b" else 0)
            stamp = np.maximum.accumulate(stamp)[keep]
            # A spread that now and then moves a point, wider on B.
            steps = np.where(rng.random(per_day) < 0.1, rng.choice([-1, 1], per_day), 0)
            spread = ((10 if side == "a" else 14) + np.clip(np.cumsum(steps), -3, 3))[keep]
            bid = mid[keep]
            ask = bid + spread
            lines = []
            for ms, b, a in zip(stamp.tolist(), bid.tolist(), ask.tolist()):
                d = datetime.datetime(1970, 1, 1) + datetime.timedelta(milliseconds=ms)
                lines.append("EUR/USD,%s.%03d,%d.%05d,%d.%05d\r\n" % (d.strftime("%Y%m%d %H:%M:%S"), ms % 1000, b // 100000, b % 100000,
                                                                    a // 100000, a % 100000))
            with gzip.open(folder / side / ("EURUSD_%s.csv.gz" % date.strftime("%Y%m%d")), "wt", compresslevel=6, newline="") as f:
                f.write("".join(lines))


def read_side(folder):
    frames = [pd.read_csv(p, header=None, names=["pair", "stamp", "bid", "ask"], dtype={"bid": str, "ask": str})
              for p in sorted(folder.glob("*.csv.gz"))]
    df = pd.concat(frames, ignore_index=True)
    df["t"] = pd.to_datetime(df["stamp"], format="%Y%m%d %H:%M:%S.%f").astype("int64") // 1_000_000
    df["bid"] = (df["bid"].astype(float) * 100000).round().astype("int64")
    df["ask"] = (df["ask"].astype(float) * 100000).round().astype("int64")
    return df


def contrast(a, b, lags):
    """The same contrast orvalda-compare peaks: the sum of A's change times
    B's change over the intervals that overlap, B moved back by each lag."""
    out = []
    for lag in lags:
        hi = np.searchsorted(b["t"], a["t"] + lag, "left")
        lo = np.searchsorted(b["t"], a["t0"] + lag, "right") - 1
        ok = (lo >= 0) & (hi < len(b["t"]))
        out.append(float(np.sum(a["d"][ok] * (b["m"][np.minimum(hi, len(b["t"]) - 1)][ok] - b["m"][np.maximum(lo, 0)][ok]))))
    return np.array(out)


def changes(df):
    m = (df["bid"] + df["ask"]).to_numpy()
    t = df["t"].to_numpy()
    moved = np.flatnonzero(np.diff(m) != 0) + 1
    return {"t": t[moved], "t0": np.concatenate([[t[0]], t[moved][:-1]]), "d": np.diff(m)[moved - 1], "m": m[moved]}


def pandas_compare(folder):
    sides = [read_side(folder / s) for s in "ab"]
    lag_by_day = []
    for day, a_day in sides[0].groupby(sides[0]["t"] // 86_400_000):
        b_day = sides[1][sides[1]["t"] // 86_400_000 == day]
        a, b = changes(a_day), changes(b_day)
        coarse = np.arange(-3000, 3001, 20)
        best = coarse[np.argmax(contrast(a, b, coarse))]
        fine = np.arange(best - 20, best + 21)
        lag_by_day.append(int(fine[np.argmax(contrast(a, b, fine))]))
    lag = float(np.median(lag_by_day))
    # Missing: A's changes with no change of B within 100 ms after the lag.
    ca, cb = changes(sides[0]), changes(sides[1])
    da = pd.DataFrame({"t": ca["t"]})
    db = pd.DataFrame({"t": cb["t"] - int(round(lag)), "tb": cb["t"]}).sort_values("t")
    matched = pd.merge_asof(da.sort_values("t"), db, on="t", direction="nearest", tolerance=100)
    missing_b = float(matched["tb"].isna().mean())
    spreads = [((s["ask"] - s["bid"]).quantile([0.0, 0.5, 0.99, 1.0], interpolation="nearest")).tolist() for s in sides]
    return {"lag_ms": lag, "missing_b": missing_b, "spreads": spreads}


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run_tool(tool, a, b):
    """Its whole run, and the processor time it took (on a loaded machine the two part)."""
    start, cpu = time.perf_counter(), cpu_of_children()
    done = subprocess.run([tool, "--json", *a, "--against", *b], capture_output=True, check=True)
    return time.perf_counter() - start, cpu_of_children() - cpu, json.loads(done.stdout)


def peak_kib(tool, a, b):
    done = subprocess.run(["/usr/bin/time", "-f", "%M", tool, "--json", *a, "--against", *b], capture_output=True, check=True)
    return int(done.stderr.decode().strip().splitlines()[-1])


def main(tool, folder):
    folder = pathlib.Path(folder)
    if not (folder / "b").is_dir() or len(list((folder / "b").glob("*.csv.gz"))) != DAYS:
        t = time.perf_counter()
        write_month(folder)
        print("wrote %d days of two feeds in %.1f s" % (DAYS, time.perf_counter() - t))
    a, b = str(folder / "a"), str(folder / "b")
    tool_times, tool_cpu = [], []
    for _ in range(5):
        seconds, cpu, result = run_tool(tool, [a], [b])
        tool_times.append(seconds)
        tool_cpu.append(cpu)
    t, cpu = time.perf_counter(), time.process_time()
    theirs = pandas_compare(folder)
    pandas_time, pandas_cpu = time.perf_counter() - t, time.process_time() - cpu
    pair = result["pairs"][0]
    ours = {"lag_ms": pair["lag_ms"], "missing_b": pair["missing"][1]["share"],
            "spreads": [[s["min"], s["median"], s["p99"], s["max"]] for s in pair["spread_points"]]}
    rows = sum(s["rows"] for s in result["sides"])
    print("rows: %d (two feeds, %d days of .csv.gz)" % (rows, DAYS))
    print("orvalda-compare: %.3f s (best of 5), %.1f M rows/s; processor time %.3f s (best of 5, one core; must be under 1 s)"
          % (min(tool_times), rows / min(tool_times) / 1e6, min(tool_cpu)))
    print("pandas:          %.3f s; processor time %.3f s" % (pandas_time, pandas_cpu))
    ratio = pandas_time / min(tool_times)
    print("ratio:           %.1fx (must be 20x or more)" % ratio)
    print("found: orvalda-compare", ours)
    print("       pandas         ", theirs)
    week = [str(p) for p in sorted((folder / "a").glob("*.csv.gz"))[:7]], [str(p) for p in sorted((folder / "b").glob("*.csv.gz"))[:7]]
    week_kib, month_kib = peak_kib(tool, *week), peak_kib(tool, [a], [b])
    print("peak memory:     %d KiB on a week, %d KiB on the month" % (week_kib, month_kib))
    ok = (abs(ours["lag_ms"] - theirs["lag_ms"]) <= 5 and abs(ours["lag_ms"] - (LAG_MS)) <= 5
          and abs(ours["missing_b"] - theirs["missing_b"]) <= 0.002
          and all(abs(x - y) < 1e-9 for s, t in zip(ours["spreads"], theirs["spreads"]) for x, y in zip(s, t))
          and ratio >= 20 and min(tool_cpu) < 1 and month_kib <= week_kib * 1.25)
    print("PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    if len(sys.argv) == 3:
        sys.exit(main(sys.argv[1], sys.argv[2]))
    with tempfile.TemporaryDirectory() as d:
        sys.exit(main(sys.argv[1], d))
