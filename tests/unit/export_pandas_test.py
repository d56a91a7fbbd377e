#!/usr/bin/env python3
"""pandas reads orvalda-export's bars and template output back with the
columns they promise, and the values of a small recording.

    export_pandas_test.py ORVALDA_EXPORT
"""

import pathlib
import subprocess
import sys
import tempfile

import pandas as pd

RECORDING = (b"EUR/USD,20261201 09:00:00.835,1.08150,1.08166\r\n"
             b"EUR/USD,20261201 09:00:10.000,1.08160,1.08170\r\n"
             b"EUR/USD,20261201 09:01:00.000,1.08140,1.08150\r\n")


def export(tool, folder, *args):
    # The recording comes on standard input ("-").
    done = subprocess.run([tool, *args, "--out", str(folder), "-"], input=RECORDING, capture_output=True, timeout=120)
    assert done.returncode == 0, done.stderr.decode()


def main(tool):
    with tempfile.TemporaryDirectory() as d:
        folder = pathlib.Path(d)
        export(tool, folder / "bars", "--to", "bars", "--tf", "M1")
        bars = pd.read_csv(folder / "bars" / "EURUSD-M1.csv", parse_dates=["time"])
        assert list(bars.columns) == ["time", "bid_open", "bid_high", "bid_low", "bid_close", "ask_open", "ask_high",
                                      "ask_low", "ask_close", "ticks", "spread_min", "spread_max"], bars.columns
        assert list(bars.time) == [pd.Timestamp("2026-12-01 09:00"), pd.Timestamp("2026-12-01 09:01")], bars.time
        assert list(bars.bid_high) == [1.0816, 1.0814] and list(bars.ask_low) == [1.08166, 1.0815], bars
        assert list(bars.ticks) == [2, 1] and list(bars.spread_min) == [10, 10] and list(bars.spread_max) == [16, 10], bars

        export(tool, folder / "template", "--to", "template", "--template", "{time:%Y-%m-%d %H:%M:%S.%L},{bid},{ask},{spread}",
               "--header", "time,bid,ask,spread")
        ticks = pd.read_csv(folder / "template" / "EURUSD.csv", parse_dates=["time"])
        assert list(ticks.columns) == ["time", "bid", "ask", "spread"], ticks.columns
        assert ticks.time[0] == pd.Timestamp("2026-12-01 09:00:00.835"), ticks.time
        assert list(ticks.bid) == [1.0815, 1.0816, 1.0814] and list(ticks.spread) == [16, 10, 10], ticks
    print("pandas reads the bars and the template output")


if __name__ == "__main__":
    main(sys.argv[1])
