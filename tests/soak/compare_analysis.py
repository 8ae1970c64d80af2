#!/usr/bin/env python3
"""Compares quorvel-analyse's JSON records of one recording with the tones
the simulated board was given.

Usage:
  quorvel-analyse --json ... FILE | compare_analysis.py --rate HZ --size N
      [--full-scale V] --tone CHANNEL:AMPLITUDE:HZ[:DC[:NOISE[:BITS]]]...

CHANNEL counts from 0 (the tool numbers channels from 1). For every tone the
record of its channel must give the frequency within a quarter of a bin of
the N-point window (rate / N) and Min and Max (of the last window) within the
converter step, six noise sigmas and the sampling of the crest of
DC -/+ AMPLITUDE. Prints one line per channel; on a mismatch says what was
found against what was wanted and exits with 1.
"""
import argparse
import json
import math
import sys


def tone(text):
    parts = text.split(":")
    if not 3 <= len(parts) <= 6:
        raise argparse.ArgumentTypeError("want CHANNEL:AMPLITUDE:HZ[:DC[:NOISE[:BITS]]]")
    values = [float(p) for p in parts]
    defaults = [0.0, 0.0, 0.0, 0.0, 0.0, 16.0]
    values += defaults[len(values):]
    return {"channel": int(values[0]), "amplitude": values[1], "frequency": values[2],
            "dc": values[3], "noise": values[4], "bits": int(values[5])}


def shown(value, digits):
    return "?" if value is None else f"{value:.{digits}f}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rate", type=float, required=True, help="rate of one channel, Hz")
    parser.add_argument("--size", type=int, required=True, help="window length the tool was given")
    parser.add_argument("--full-scale", type=float, default=10.0)
    parser.add_argument("--tone", type=tone, action="append", default=[])
    args = parser.parse_args()

    try:
        records = json.load(sys.stdin)
    except ValueError as error:
        print(f"  the tool's output is no JSON: {error}")
        return 1
    by_channel = {r.get("channel"): r for r in records}
    failed = False
    bin_hz = args.rate / args.size
    for t in args.tone:
        record = by_channel.get(t["channel"] + 1)
        if record is None:
            print(f"  channel {t['channel']}: no record among {sorted(by_channel)}")
            failed = True
            continue
        step = args.full_scale / 32768.0 * 2 ** (16 - t["bits"])
        crest_miss = t["amplitude"] * (1.0 - math.cos(math.pi * t["frequency"] / args.rate))
        slack = step + 6.0 * t["noise"] + crest_miss
        want_min = t["dc"] - t["amplitude"]
        want_max = t["dc"] + t["amplitude"]
        got_freq, got_min, got_max = record.get("freq_hz"), record.get("min_v"), record.get("max_v")
        problems = []
        if got_freq is None or abs(got_freq - t["frequency"]) > bin_hz / 4:
            problems.append(f"frequency {got_freq} Hz, want {t['frequency']} Hz within {bin_hz / 4:.3f} Hz")
        if got_min is None or got_max is None or abs(got_min - want_min) > slack or abs(got_max - want_max) > slack:
            problems.append(f"Min..Max {got_min}..{got_max} V, want {want_min}..{want_max} V within {slack:.6f} V")
        status = "OK" if not problems else "FAILED: " + "; ".join(problems)
        print(f"  channel {t['channel']} analysed: {shown(got_freq, 3)} Hz, Min {shown(got_min, 4)} V, "
              f"Max {shown(got_max, 4)} V: {status}")
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
