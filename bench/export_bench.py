#!/usr/bin/python3
"""orvalda-export against pandas doing the same, in the same run:

    export_bench.py ORVALDA_EXPORT [ROWS] [FOLDER]

Takes the recording check_bench.py writes (ROWS rows, default 1,000,000) and
times, in three turns, orvalda-export --to mt5 (a separate process, its whole
run, best of three) against pandas writing the same file (read_csv,
to_datetime with the format, strftime, to_csv with tabs; in this process,
without the import), checks that both files are the same bytes, and prints
the times, the throughput and the ratio; then the bars (--to bars --tf M1)
alone. Goals: mt5 at least 30 times pandas and 400 MB/s of input on one
core, bars 1 GB/s. Run it with Debian's /usr/bin/python3 and python3-pandas
(bench/export_bench.sh does).
"""

import os
import resource
import shutil
import subprocess
import sys
import time

from check_bench import bench_recording

MT5_HEADER = "<DATE>\t<TIME>\t<BID>\t<ASK>\t<LAST>\t<VOLUME>\t<FLAGS>"


def time_export(program, path, out, args, runs=3):
    """Best wall and CPU seconds of one orvalda-export run over runs."""
    best_wall = best_cpu = float("inf")
    for _ in range(runs):
        shutil.rmtree(out, ignore_errors=True)
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        done = subprocess.run([program, *args, "--out", out, path], stdout=subprocess.DEVNULL, check=False)
        wall = time.perf_counter() - t0
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if done.returncode != 0:
            sys.exit("orvalda-export failed with exit code %d" % done.returncode)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best_wall, best_cpu = min(best_wall, wall), min(best_cpu, cpu)
    return best_wall, best_cpu


def pandas_mt5(pd, path, out):
    df = pd.read_csv(path, header=None, names=["pair", "time", "bid", "ask"], dtype=str)
    stamps = pd.to_datetime(df["time"], format="%Y%m%d %H:%M:%S.%f")
    table = pd.DataFrame({"<DATE>": stamps.dt.strftime("%Y.%m.%d"),
                          "<TIME>": stamps.dt.strftime("%H:%M:%S.%f").str[:-3],
                          "<BID>": df["bid"], "<ASK>": df["ask"], "<LAST>": "", "<VOLUME>": "", "<FLAGS>": 6})
    table.to_csv(out, sep="\t", index=False, lineterminator="\r\n")


def main():
    program, folder, path, size = bench_recording(__doc__)
    import pandas as pd

    mine_dir, theirs = os.path.join(folder, "mt5"), os.path.join(folder, "pandas-EURUSD.csv")
    # Taken in turns, so that both see the machine as busy or as idle.
    export_wall = export_cpu = pandas_wall = pandas_cpu = float("inf")
    for _ in range(3):
        wall, cpu = time_export(program, path, mine_dir, ["--to", "mt5"])
        export_wall, export_cpu = min(export_wall, wall), min(export_cpu, cpu)
        w0, c0 = time.perf_counter(), time.process_time()
        pandas_mt5(pd, path, theirs)
        pandas_wall, pandas_cpu = min(pandas_wall, time.perf_counter() - w0), min(pandas_cpu, time.process_time() - c0)
    with open(os.path.join(mine_dir, "EURUSD.csv"), "rb") as a, open(theirs, "rb") as b:
        same = a.read() == b.read()
    print("the same bytes as pandas: %s" % ("yes" if same else "NO"))
    print("orvalda-export --to mt5: %.3f s wall, %.3f s CPU, %.0f MB/s of input" % (export_wall, export_cpu, size / 1e6 / export_wall))
    print("pandas:                  %.3f s wall, %.3f s CPU, %.0f MB/s" % (pandas_wall, pandas_cpu, size / 1e6 / pandas_wall))
    ratio = pandas_wall / export_wall
    # One core's throughput: the input over the CPU time, which a machine
    # busy with other work stretches less than the wall time.
    mt5_rate = size / 1e6 / export_cpu
    print("orvalda-export is %.1f times pandas (goal 30), %.0f MB/s of CPU time (goal 400)" % (ratio, mt5_rate))
    bars_wall, bars_cpu = time_export(program, path, os.path.join(folder, "bars"), ["--to", "bars", "--tf", "M1"], runs=5)
    bars_rate = size / 1e6 / bars_cpu
    print("orvalda-export --to bars --tf M1: %.3f s wall, %.3f s CPU, %.0f MB/s of CPU time (goal 1000)"
          % (bars_wall, bars_cpu, bars_rate))
    met = same and ratio >= 30 and mt5_rate >= 400 and bars_rate >= 1000
    print("goals met" if met else "goals NOT met")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
