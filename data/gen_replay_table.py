#!/usr/bin/env python3
"""Builds data/replay_table.bin, the recorded EUR/USD quote table built into Orvalda.

Rows are (bid, ask) pairs of little-endian IEEE 754 binary32 values, 8 bytes a row,
no header. The stream is a random walk of the price worked out in integer
five-decimal points (108150 == 1.08150) and only converted to the nearest binary32
at the very end, so every constraint below holds exactly.

The walk is pinned at anchor rows (the fixed rows and the rows where each price
extreme is first reached) and filled between them by a constrained random bridge:
a tick walk with slowly changing volatility, a mean-reverting spread with
occasional widenings, and runs of repeated quotes placed beforehand so their
count comes out exact. Everything is checked again from the encoded bytes before
the file is written; any failure exits non-zero and leaves the old file alone.

Deterministic: fixed seed, standard library only.
"""

import hashlib
import math
import os
import struct
import sys
import time
from fractions import Fraction
import random

SEED = 0x0D5A_2011
ROWS = 88369
OUT_NAME = "replay_table.bin"
REPEATS = 4743           # rows equal (bid and ask) to the row before them
MAX_SPREAD = 90          # points of 0.00001
FIRST_EQUAL_ROW = 10     # first row with ask == bid

BID_LOW, BID_LOW_ROW = 107842, 24245
BID_HIGH, BID_HIGH_ROW = 108972, 75533
ASK_LOW, ASK_LOW_ROW = 107851, 24272
ASK_HIGH, ASK_HIGH_ROW = 108993, 74267

FIXED = {  # row: (bid, ask) in points
    0: (108150, 108166),
    1: (108150, 108165),
    2: (108150, 108163),
    3: (108150, 108160),
    4: (108150, 108159),
    10: (108150, 108150),
    11: (108132, 108148),
    44184: (108611, 108620),
    88367: (108729, 108819),
    88368: (108729, 108819),
}

ROW0_BYTES = bytes.fromhex("986E8A3FD6738A3F")
LAST_ROW_BYTES = bytes.fromhex("522C8B3FCF498B3F")

# Replay conversion with Digits 4: expected (ask, bid) points per row.
DIGITS4_ROWS = {0: (10816, 10815), 3: (10815, 10815), 10: (10815, 10815),
                44184: (10861, 10861), 88368: (10881, 10872)}
DIGITS4_BID_RANGE = (10784, 10897)
DIGITS4_ASK_RANGE = (10785, 10899)
DIGITS4_MAX_GAP = 9


# --- price <-> binary32 -------------------------------------------------------

def f32_from_bits(bits):
    return struct.unpack("<f", struct.pack("<I", bits))[0]


def nearest_f32_bits(points):
    """Bits of the binary32 nearest to points / 100000 (exact, no double rounding)."""
    exact = Fraction(points, 100000)
    guess = struct.unpack("<I", struct.pack("<f", points / 100000))[0]
    best = min((guess - 1, guess, guess + 1),
               key=lambda b: (abs(Fraction(f32_from_bits(b)) - exact), b & 1))
    return best


def digits4(value):
    """Replay's conversion: exact product with (float)10^4, truncated toward zero."""
    scale = struct.unpack("<f", struct.pack("<f", math.pow(10.0, 4)))[0]
    return math.trunc(value * scale)  # float32 * 10000 fits a double exactly


class Prices:
    """Cached binary32 encoding and Digits-4 points for every price in play."""

    def __init__(self, lo, hi):
        self.lo = lo
        self.bits = [nearest_f32_bits(p) for p in range(lo, hi + 1)]
        self.d4 = [digits4(f32_from_bits(b)) for b in self.bits]

    def bits_of(self, p):
        return self.bits[p - self.lo]

    def d4_of(self, p):
        return self.d4[p - self.lo]


PRICES = Prices(BID_LOW - 200, ASK_HIGH + 200)


# --- limits a generated row must respect ---------------------------------------

def bid_limits(row):
    lo = BID_LOW + 1 if row < BID_LOW_ROW else BID_LOW
    hi = BID_HIGH - 1 if row < BID_HIGH_ROW else BID_HIGH
    return lo, hi


def spread_limits(row, bid):
    """Allowed spreads for a row whose bid is already chosen (empty if lo > hi)."""
    ask_lo = ASK_LOW + 1 if row < ASK_LOW_ROW else ASK_LOW
    ask_hi = ASK_HIGH - 1 if row < ASK_HIGH_ROW else ASK_HIGH
    lo = max(1 if row < FIRST_EQUAL_ROW else 0, ask_lo - bid)
    hi = min(MAX_SPREAD, ask_hi - bid)
    d4_bid = PRICES.d4_of(bid)
    while hi >= lo and PRICES.d4_of(bid + hi) - d4_bid > DIGITS4_MAX_GAP:
        hi -= 1
    return lo, hi


# --- random pieces ------------------------------------------------------------

class Rng:
    """Only random() is used so the stream does not depend on library helpers."""

    def __init__(self, seed):
        self._r = random.Random(seed)

    def u(self):
        return self._r.random()

    def uniform(self, a, b):
        return a + (b - a) * self._r.random()

    def below(self, n):
        return min(int(self._r.random() * n), n - 1)

    def sign(self):
        return 1 if self._r.random() < 0.5 else -1

    def pick(self, weights):
        x = self._r.random() * sum(weights)
        for i, w in enumerate(weights):
            x -= w
            if x < 0:
                return i
        return len(weights) - 1

    def round(self, x):
        """Stochastic rounding: unbiased, keeps small drifts alive."""
        f = math.floor(x)
        return f + (1 if self._r.random() < x - f else 0)


# Size of a quote move in points: mostly 0-3, a thin tail of bigger jumps.
MOVE_WEIGHTS = [34, 30, 17, 9, 4.5, 2.5, 1.2, 0.7, 0.4, 0.3, 0.2, 0.1, 0.05, 0.05]


class Market:
    """Slow state shared by all segments: volatility and spread regimes."""

    def __init__(self, rng):
        self.rng = rng
        self.log_vol = 0.0
        self.base_spread = 8.0
        self.widen = 0.0        # extra spread of a widening episode, decaying
        self.widen_decay = 1.0

    def step(self):
        r = self.rng
        self.log_vol += (r.u() - 0.5) * 0.06 - 0.002 * self.log_vol
        self.log_vol = max(-0.7, min(0.8, self.log_vol))
        self.base_spread += (r.u() - 0.5) * 0.08 + 0.0005 * (8.0 - self.base_spread)
        self.base_spread = max(2.0, min(16.0, self.base_spread))
        self.widen *= self.widen_decay
        if r.u() < 1 / 3500:
            self.widen = r.uniform(12, 85)
            self.widen_decay = math.exp(-1 / r.uniform(25, 250))

    def bid_move(self):
        r = self.rng
        size = r.pick(MOVE_WEIGHTS)
        if size == 0:
            return 0.0
        return r.sign() * size * math.exp(self.log_vol)

    def spread_target(self):
        return self.base_spread + self.widen

    def spread_move(self, spread):
        """New spread before limits; usually unchanged, pulled toward the regime."""
        r = self.rng
        target = self.spread_target()
        if r.u() >= 0.28 + min(0.6, abs(target - spread) / 20):
            return spread
        delta = r.round((target - spread) * 0.25 + (r.u() - 0.5) * 4)
        if delta == 0:
            delta = r.sign()
        return spread + delta


# --- repeated quotes ---------------------------------------------------------

def plan_repeats(rng, forbidden, count):
    """Rows that repeat the row before, placed as short runs outside forbidden rows."""
    repeat = bytearray(ROWS)
    placed = 0
    while placed < count:
        start = 12 + rng.below(ROWS - 12)
        length = 1
        while length < 12 and rng.u() < 0.42:
            length += 1
        length = min(length, count - placed)
        rows = range(start, start + length)
        if any(t >= ROWS or t in forbidden or repeat[t] for t in rows):
            continue
        for t in rows:
            repeat[t] = 1
        placed += length
    return repeat


# --- the walk -------------------------------------------------------------------

def fill_segment(rng, market, rows_bid, rows_spread, repeat, a, b, target):
    """Walks rows a+1..b from the state at row a to target (bid, spread) at row b.

    Returns False if this attempt broke a limit; the caller retries.
    """
    bid, spread = rows_bid[a], rows_spread[a]
    t_bid, t_spread = target
    moves_left = sum(1 for t in range(a + 1, b + 1) if not repeat[t])
    if moves_left == 0:
        return False
    for t in range(a + 1, b + 1):
        if repeat[t]:
            rows_bid[t], rows_spread[t] = bid, spread
            continue
        market.step()
        if moves_left == 1:
            new_bid, new_spread = t_bid, t_spread
            if (new_bid, new_spread) == (bid, spread):
                return False
        else:
            lo_b, hi_b = bid_limits(t)
            for _ in range(40):
                new_bid = bid + rng.round(market.bid_move() + (t_bid - bid) / moves_left)
                new_bid = max(lo_b, min(hi_b, new_bid))
                # Spread: free-running, then steered onto the anchor's spread.
                gap = t_spread - spread
                if moves_left <= 4 + 2 * abs(gap):
                    new_spread = spread + rng.round(gap / moves_left)
                    if moves_left > 2 and rng.u() < 0.3:
                        new_spread += rng.sign()
                    new_spread = max(0, new_spread)
                else:
                    new_spread = market.spread_move(spread)
                    # Often only one side of the quote changes.
                    side = rng.u()
                    if side < 0.22 and new_bid != bid:
                        held_ask = bid + spread - new_bid
                        if abs(held_ask - market.spread_target()) <= 5:
                            new_spread = held_ask
                    elif side < 0.34 and new_spread != spread:
                        new_spread += new_bid - bid
                        new_bid = bid
                    if new_spread <= 0:  # a locked quote is rare
                        new_spread = 0 if rng.u() < 0.03 else 1
                lo_s, hi_s = spread_limits(t, new_bid)
                if lo_s > hi_s:
                    continue
                new_spread = max(lo_s, min(hi_s, new_spread))
                if (new_bid, new_spread) != (bid, spread):
                    break
            else:
                return False
        lo_b, hi_b = bid_limits(t)
        lo_s, hi_s = spread_limits(t, new_bid)
        if not (lo_b <= new_bid <= hi_b and lo_s <= new_spread <= hi_s):
            return False
        bid, spread = new_bid, new_spread
        rows_bid[t], rows_spread[t] = bid, spread
        moves_left -= 1
    return True


def generate():
    rng = Rng(SEED)
    market = Market(rng)

    # Anchors in (bid, spread). Spreads at the extreme rows are ours to pick
    # within what the other extremes allow there.
    anchors = {row: (bid, ask - bid) for row, (bid, ask) in FIXED.items()}
    anchors[BID_LOW_ROW] = (BID_LOW, 10 + rng.below(6))           # ask must stay above its low
    s = 3 + rng.below(6)
    anchors[ASK_LOW_ROW] = (ASK_LOW - s, s)                        # bid may not go below its low
    s = 22 + rng.below(9)
    anchors[ASK_HIGH_ROW] = (ASK_HIGH - s, s)                      # bid must stay under its high
    s = 4 + rng.below(9)
    anchors[BID_HIGH_ROW] = (BID_HIGH, s)                          # ask may not pass its high

    # Rows that may not repeat their predecessor: the fixed opening, every
    # first-extreme row, and the closing repeat, which is fixed on its own.
    forbidden = set(range(0, 12)) | {BID_LOW_ROW, BID_HIGH_ROW, ASK_LOW_ROW, ASK_HIGH_ROW, 88368}
    fixed_repeats = 1  # row 88368 repeats 88367
    repeat = plan_repeats(rng, forbidden, REPEATS - fixed_repeats)
    repeat[88368] = 1

    rows_bid = [0] * ROWS
    rows_spread = [0] * ROWS
    rows_bid[0], rows_spread[0] = anchors[0]
    order = sorted(anchors)
    retries = 0
    for a, b in zip(order, order[1:]):
        if b == a + 1 and b in FIXED:
            rows_bid[b], rows_spread[b] = anchors[b]
            continue
        for _ in range(500):
            if fill_segment(rng, market, rows_bid, rows_spread, repeat, a, b, anchors[b]):
                break
            retries += 1
        else:
            raise SystemExit(f"could not fill rows {a}..{b}")
    return rows_bid, [b + s for b, s in zip(rows_bid, rows_spread)], retries


def encode(bids, asks):
    out = bytearray()
    for bid, ask in zip(bids, asks):
        out += struct.pack("<II", PRICES.bits_of(bid), PRICES.bits_of(ask))
    return bytes(out)


# --- verification, from the encoded bytes only --------------------------------

def decode_points(bits):
    """Five-decimal price whose nearest binary32 is exactly this value, else None."""
    if bits >> 23 != 0x7F:          # values must lie in [1, 2)
        return None
    m = (bits & 0x7FFFFF) | 0x800000  # value == m * 2^-23
    p = (m * 100000 + (1 << 22)) >> 23
    # |m/2^23 - p/10^5| < 2^-24  <=>  |2*m*10^5 - p*2^24| < 10^5
    return p if abs(2 * m * 100000 - p * (1 << 24)) < 100000 else None


def verify(data):
    problems = []

    def check(ok, what):
        if not ok:
            problems.append(what)

    check(len(data) == ROWS * 8, f"size {len(data)} != {ROWS * 8}")
    if problems:
        return problems
    words = struct.unpack(f"<{2 * ROWS}I", data)
    bid_bits, ask_bits = words[0::2], words[1::2]
    bids = [decode_points(w) for w in bid_bits]
    asks = [decode_points(w) for w in ask_bits]
    bad = [i for i in range(ROWS) if bids[i] is None or asks[i] is None]
    check(not bad, f"rows not nearest-binary32 five-decimal prices: {bad[:5]}")
    if bad:
        return problems

    check(data[:8] == ROW0_BYTES, f"row 0 bytes {data[:8].hex()}")
    check(data[-8:] == LAST_ROW_BYTES, f"last row bytes {data[-8:].hex()}")
    for row, want in FIXED.items():
        check((bids[row], asks[row]) == want, f"row {row} is {(bids[row], asks[row])}, want {want}")

    check(all(a >= b for a, b in zip(asks, bids)), "ask < bid somewhere")
    equal = [i for i in range(ROWS) if asks[i] == bids[i]]
    check(equal and equal[0] == FIRST_EQUAL_ROW, f"first ask==bid row {equal[:1]}")
    check(max(a - b for a, b in zip(asks, bids)) <= MAX_SPREAD, "spread over cap")

    for name, series, fn, value, row in (
            ("bid low", bids, min, BID_LOW, BID_LOW_ROW),
            ("bid high", bids, max, BID_HIGH, BID_HIGH_ROW),
            ("ask low", asks, min, ASK_LOW, ASK_LOW_ROW),
            ("ask high", asks, max, ASK_HIGH, ASK_HIGH_ROW)):
        got = fn(series)
        check(got == value, f"{name} {got} != {value}")
        check(series.index(got) == row, f"{name} first at {series.index(got)} != {row}")

    repeats = sum(1 for i in range(1, ROWS) if bid_bits[i] == bid_bits[i - 1] and ask_bits[i] == ask_bits[i - 1])
    check(repeats == REPEATS, f"{repeats} repeated rows != {REPEATS}")

    d4_bid = [digits4(f32_from_bits(w)) for w in bid_bits]
    d4_ask = [digits4(f32_from_bits(w)) for w in ask_bits]
    for row, want in DIGITS4_ROWS.items():
        check((d4_ask[row], d4_bid[row]) == want, f"row {row} digits-4 {(d4_ask[row], d4_bid[row])} != {want}")
    check((min(d4_bid), max(d4_bid)) == DIGITS4_BID_RANGE, f"digits-4 bid range {(min(d4_bid), max(d4_bid))}")
    check((min(d4_ask), max(d4_ask)) == DIGITS4_ASK_RANGE, f"digits-4 ask range {(min(d4_ask), max(d4_ask))}")
    gaps = [a - b for a, b in zip(d4_ask, d4_bid)]
    check(min(gaps) >= 0 and max(gaps) <= DIGITS4_MAX_GAP, f"digits-4 gap range {(min(gaps), max(gaps))}")
    return problems


def describe(bids, asks):
    """Shape of the stream, to eyeball that it looks like a recording."""
    def hist(values, edges):
        counts = [0] * (len(edges) + 1)
        for v in values:
            i = 0
            while i < len(edges) and v > edges[i]:
                i += 1
            counts[i] += 1
        labels = [f"<={e}" for e in edges] + [f">{edges[-1]}"]
        return " ".join(f"{l}:{100 * c / len(values):.1f}%" for l, c in zip(labels, counts))

    moved = [i for i in range(1, ROWS) if (bids[i], asks[i]) != (bids[i - 1], asks[i - 1])]
    spreads = [a - b for a, b in zip(asks, bids)]
    print("  |bid move| (quote changes):", hist([abs(bids[i] - bids[i - 1]) for i in moved], [0, 1, 2, 3, 5, 10]))
    print("  |ask move| (quote changes):", hist([abs(asks[i] - asks[i - 1]) for i in moved], [0, 1, 2, 3, 5, 10]))
    print("  largest bid/ask move:", max(abs(bids[i] - bids[i - 1]) for i in moved),
          max(abs(asks[i] - asks[i - 1]) for i in moved))
    print("  spread:", hist(spreads, [0, 2, 5, 10, 20, 40, 60, 89]))
    print("  rows with ask == bid:", sum(1 for s in spreads if s == 0))
    runs, run = [], 0
    for i in range(1, ROWS):
        if (bids[i], asks[i]) == (bids[i - 1], asks[i - 1]):
            run += 1
        elif run:
            runs.append(run)
            run = 0
    if run:
        runs.append(run)
    print(f"  repeat runs: {len(runs)}, longest {max(runs)}")


def main():
    started = time.monotonic()
    bids, asks, retries = generate()
    data = encode(bids, asks)
    problems = verify(data)
    if problems:
        for p in problems:
            print("FAILED:", p, file=sys.stderr)
        return 1
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), OUT_NAME)
    tmp = out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, out)
    print(f"{OUT_NAME}: {len(data)} bytes, {ROWS} rows, sha256 {hashlib.sha256(data).hexdigest()}")
    print(f"  all checks passed; {retries} segment retries; {time.monotonic() - started:.2f}s")
    describe(bids, asks)
    return 0


if __name__ == "__main__":
    sys.exit(main())
