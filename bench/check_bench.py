#!/usr/bin/python3
"""orvalda-check against pandas, the tool a user would otherwise reach for,
in the same run:

    check_bench.py ORVALDA_CHECK [ROWS] [FOLDER]

Writes a recording of ROWS rows (default 1,000,000) in Orvalda's format into
FOLDER (default: a temporary one): a random walk of EUR/USD, a tick every
80 ms or so, with three silences of two minutes and one step back in time.
Then times orvalda-check on it (as a separate process, its whole run) and
pandas' read_csv with the same order, gap and spread checks (in this process,
without the import), in three turns of five runs of orvalda-check and one of
pandas, takes the best time of each, checks that both found the same, and
prints the times, the throughput and the ratio. Then the same recording
compressed (.csv.gz): orvalda-check's rows per second on it, beside gzip -dc
alone, and its findings against those on the plain file. Run it with
Debian's /usr/bin/python3 and python3-pandas (bench/check_bench.sh does).
"""

import datetime
import gzip
import json
import os
import random
import resource
import shutil
import subprocess
import sys
import tempfile
import time


def write_recording(path, rows):
    rng = random.Random(1)
    start = datetime.datetime(2026, 12, 7, 0, 0, 0)
    ms, mid = 0, 108000
    silences = {rows // 4, rows // 2, 3 * rows // 4}
    back = rows // 3
    lines = []
    for i in range(rows):
        ms += 60 + rng.randint(0, 40)
        if i in silences:
            ms += 120000
        stamp_ms = ms - 5000 if i == back else ms
        mid += rng.choice((-2, -1, -1, 0, 1, 1, 2))
        bid = mid
        ask = bid + rng.randint(8, 18)
        t = start + datetime.timedelta(milliseconds=stamp_ms)
        lines.append("EUR/USD,%s.%03d,%d.%05d,%d.%05d\r\n" % (
            t.strftime("%Y%m%d %H:%M:%S"), stamp_ms % 1000, bid // 100000, bid % 100000, ask // 100000, ask % 100000))
    with open(path, "w", newline="") as f:
        f.write("".join(lines))


def time_check(program, path, runs=5):
    """Best wall and CPU seconds of orvalda-check over runs, and its JSON report."""
    best_wall = best_cpu = float("inf")
    report = None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        done = subprocess.run([program, "--json", path], stdout=subprocess.PIPE, check=False)
        wall = time.perf_counter() - t0
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if done.returncode not in (0, 1):
            sys.exit("orvalda-check failed with exit code %d" % done.returncode)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best_wall, best_cpu = min(best_wall, wall), min(best_cpu, cpu)
        report = json.loads(done.stdout)
    return best_wall, best_cpu, report["files"][0]


def pandas_check(pd, path):
    """read_csv, then what orvalda-check tells of order, silences and spread."""
    df = pd.read_csv(path, header=None, names=["pair", "time", "bid", "ask"],
                     dtype={"pair": str, "time": str, "bid": "float64", "ask": "float64"})
    stamps = pd.to_datetime(df["time"], format="%Y%m%d %H:%M:%S.%f")
    steps = stamps.diff().dt.total_seconds()
    spread = ((df["ask"] - df["bid"]) * 100000).round()
    q = spread.quantile([0.0, 0.5, 0.99, 1.0])
    return {"rows": len(df), "back": int((steps < 0).sum()), "gaps": int((steps > 60).sum()),
            "crossed": int((spread <= 0).sum()),
            "spread": [int(q[0.0]), int(q[0.5]), int(q[0.99]), int(q[1.0])]}


def time_pandas(pd, path, runs=3):
    best_wall = best_cpu = float("inf")
    found = None
    for _ in range(runs):
        w0, c0 = time.perf_counter(), time.process_time()
        found = pandas_check(pd, path)
        best_wall = min(best_wall, time.perf_counter() - w0)
        best_cpu = min(best_cpu, time.process_time() - c0)
    return best_wall, best_cpu, found


def bench_recording(doc):
    """The command line PROGRAM [ROWS] [FOLDER] read, and the recording made
    when it is not there yet: (program, folder, path, size)."""
    if len(sys.argv) < 2:
        sys.exit(doc)
    program = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    folder = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="orvalda-bench-")
    path = os.path.join(folder, "bench-%d.csv" % rows)
    if not os.path.exists(path):
        print("writing %s ..." % path, flush=True)
        write_recording(path, rows)
    size = os.path.getsize(path)
    print("recording: %d rows, %.1f MB (%s)" % (rows, size / 1e6, path), flush=True)
    return program, folder, path, size


def main():
    program, _, path, size = bench_recording(__doc__)
    import pandas as pd

    # Taken in turns, so that both see the machine as busy or as idle.
    check_wall = check_cpu = pandas_wall = pandas_cpu = float("inf")
    for _ in range(3):
        wall, cpu, report = time_check(program, path)
        check_wall, check_cpu = min(check_wall, wall), min(check_cpu, cpu)
        wall, cpu, found = time_pandas(pd, path, runs=1)
        pandas_wall, pandas_cpu = min(pandas_wall, wall), min(pandas_cpu, cpu)

    counts = report["problem_counts"]
    mine = {"rows": report["rows"], "back": counts["order"], "gaps": report["gap_count"],
            "crossed": counts["crossed"],
            "spread": [next(iter(report["per_symbol"].values()))["spread_points"][k] for k in ("min", "median", "p99", "max")]}
    print("found by orvalda-check: %s" % mine)
    print("found by pandas:        %s" % found)
    print()
    print("orvalda-check: %.3f s (CPU %.3f s), %.0f MB/s" % (check_wall, check_cpu, size / 1e6 / check_wall))
    print("pandas %-6s  %.3f s (CPU %.3f s), %.0f MB/s" % (pd.__version__ + ":", pandas_wall, pandas_cpu,
                                                          size / 1e6 / pandas_wall))
    print("orvalda-check is %.1f times as fast as pandas (CPU time: %.1f times)" % (
        pandas_wall / check_wall, pandas_cpu / check_cpu))
    print("goal: 20 times as fast and 1,000 MB/s: %s" % (
        "met" if pandas_wall / check_wall >= 20 and size / 1e6 / check_wall >= 1000 else "NOT met"))
    if mine != found:
        sys.exit("orvalda-check and pandas do not agree")

    # The same recording compressed (.csv.gz, one member, as Orvalda's --compress
    # writes it): orvalda-check's rows per second, against gzip -dc alone.
    gz = path + ".gz"
    if not os.path.exists(gz):
        with open(path, "rb") as plain, gzip.open(gz, "wb", compresslevel=6) as packed:
            shutil.copyfileobj(plain, packed)
    gz_wall, _, gz_report = time_check(program, gz)
    inflate_wall = float("inf")
    for _ in range(3):
        t0 = time.perf_counter()
        subprocess.run(["gzip", "-dc", gz], stdout=subprocess.DEVNULL, check=True)
        inflate_wall = min(inflate_wall, time.perf_counter() - t0)
    same = {k: v for k, v in gz_report.items() if k != "path"} == {k: v for k, v in report.items() if k != "path"}
    print()
    print("orvalda-check on %s (%.1f MB): %.3f s, %.0f MB/s of rows; gzip -dc alone: %.3f s, %.0f MB/s" % (
        os.path.basename(gz), os.path.getsize(gz) / 1e6, gz_wall, size / 1e6 / gz_wall, inflate_wall,
        size / 1e6 / inflate_wall))
    print("goal on .gz: 200 MB/s of rows, the same findings as on the plain file: %s" % (
        "met" if size / 1e6 / gz_wall >= 200 and same else "NOT met"))


if __name__ == "__main__":
    main()
