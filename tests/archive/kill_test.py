#!/usr/bin/env python3
"""A sweep of closed days (archive_sweep, the code Orvalda's archiver runs)
killed at random points while it compresses, many times over: after every
kill each day's rows are all there, once, in order, in the plain file or the
compressed one (a single gzip member); the next sweep ends the work; the
current day's file is never touched.

    kill_test.py ARCHIVE_SWEEP [KILLS]
"""

import pathlib
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zlib

SYMBOLS = ("EURUSD", "GBPUSD")
DAYS = (20261201, 20261202, 20261203)
TODAY = 20261204
ROWS_A_DAY = 30000


def rows(symbol, day, count, first=0):
    pair = symbol[:3] + "/" + symbol[3:]
    return "".join(
        f"{pair},{day} {i // 3600000 % 24:02}:{i // 60000 % 60:02}:{i // 1000 % 60:02}.{i % 1000:03},"
        f"1.08{150 + i % 37},1.08{166 + i % 41}\r\n"
        for i in range(first * 997, (first + count) * 997, 997)).encode()


def one_member(data):
    """The plain bytes of a gzip file that must be a single member."""
    d = zlib.decompressobj(31)
    out = d.decompress(data)
    assert d.eof and not d.unused_data, "not a single whole gzip member"
    return out


class Tree:
    def __init__(self, root):
        self.root = root
        self.pattern = str(root / "symbol={symbol}" / "date={date}" / "ticks.csv")
        self.expected = {}

    def path(self, symbol, day):
        return self.root / f"symbol={symbol}" / f"date={day}" / "ticks.csv"

    def lay_out(self):
        shutil.rmtree(self.root, ignore_errors=True)
        for symbol in SYMBOLS:
            for day in DAYS + (TODAY,):
                p = self.path(symbol, day)
                p.parent.mkdir(parents=True)
                self.expected[p] = rows(symbol, day, ROWS_A_DAY)
                p.write_bytes(self.expected[p])
        # A day compressed and then recorded to again; a compression cut short.
        both = self.path("EURUSD", DAYS[1])
        earlier = rows("EURUSD", DAYS[1], 500, first=ROWS_A_DAY)
        both.with_name("ticks.csv.gz").write_bytes(zlib.compress(earlier, wbits=31))
        self.expected[both] = earlier + self.expected[both]
        part = self.path("GBPUSD", DAYS[0]).with_name("ticks.csv.gz.part")
        part.write_bytes(zlib.compress(b"GBP/USD,half a row")[:10])

    def parts(self):
        return list(self.root.rglob("*.part"))

    def check(self, when):
        """Nothing lost or doubled; True when every earlier day is compressed."""
        done = True
        for plain, want in self.expected.items():
            gz = plain.with_name("ticks.csv.gz")
            held = one_member(gz.read_bytes()) if gz.exists() else b""
            left = plain.read_bytes() if plain.exists() else b""
            if str(TODAY) in str(plain):
                assert left == want and not gz.exists(), f"{when}: the current day's file was touched"
                continue
            lines = [b.count(b"\n") for b in (held, left, want)]
            assert held + left == want or (held == want and want.endswith(left)), \
                f"{when}: {plain} holds {lines[0]} + {lines[1]} rows of {lines[2]}"
            done = done and held == want and not plain.exists()
        return done


def main(argv):
    sweep = argv[1]
    kills_wanted = int(argv[2]) if len(argv) > 2 else 40
    random.seed(int(time.time()))
    tree = Tree(pathlib.Path(tempfile.mkdtemp(prefix="orvalda-kill-")))
    tree.lay_out()
    kills = rounds = 0
    longest = 0.5  # seconds a whole sweep took, as last seen
    try:
        while kills < kills_wanted:
            started = time.monotonic()
            p = subprocess.Popen([sweep, tree.pattern, str(TODAY)], stdout=subprocess.DEVNULL)
            # A point anywhere in the sweep: from its start to as long as a whole one took.
            delay = random.uniform(0, longest)
            while p.poll() is None and time.monotonic() - started < delay:
                time.sleep(0.002)
            if p.poll() is None:
                p.kill()
                kills += 1
            elif p.returncode != 0:
                raise AssertionError(f"archive_sweep ended with {p.returncode}")
            else:
                longest = time.monotonic() - started
            p.wait()
            rounds += 1
            if tree.check(f"after round {rounds} ({kills} kills)"):
                tree.lay_out()
        subprocess.run([sweep, tree.pattern, str(TODAY)], check=True, stdout=subprocess.DEVNULL)
        assert tree.check("at the end") and not tree.parts(), "a sweep to the end left work undone"
        print(f"kill test: {kills} kills in {rounds} sweeps, no row lost or doubled")
        return 0
    except AssertionError as e:
        print(f"kill test: {e}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(tree.root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
