#!/usr/bin/env python3
"""Reads a data file written by Quorvel's recording and checks it.

The layout, all numbers little-endian:

  offset  size  content
       0    24  "MirnelFFS" padded with blanks, no terminator
      24     8  u64 payload length 0
      32    24  "SAMPLES_FORMAT" padded with blanks
      56     8  u64 payload length 20
      64     4  u32 format code 7
      68     4  u32 channel count
      72     8  f64 sampling rate of one channel, Hz
      80     4  bytes 1, 0, 0, 1
      84    24  "SAMPLES_RECORD" padded with blanks
     108     8  u64 payload length 0xFFFFFFFFFFFFFFFF (rows run to the end)
     116     .  rows: one float32 in volts per channel, channels in order

Usage:
  read_record.py FILE --channels N --rate HZ [--full-scale V]
                 [--min-rows R] [--max-leading-zeros Z]
                 [--sine CHANNEL:AMPLITUDE:FREQUENCY]... [--tolerance V]

--max-leading-zeros bounds the rows of zeros that the file may begin with (a
recording begins with what the channel windows held, zeros where they had
not filled yet).

--sine checks that the channel (0 = the first) holds a sine of that
amplitude (peak volts) and frequency (Hz) after the rows of zeros that a
recording may begin with: the rows are fitted with a sine of that frequency
and free phase and offset, the fitted amplitude and the largest sample must
lie near the amplitude, and no row may stray from the fit by more than
--tolerance volts (a lost, repeated or misplaced row shows as a jump of
volts). Prints one summary line; on failure prints what was found against
what was wanted for every failed check and exits with 1.
"""
import argparse
import array
import math
import struct
import sys

HEADER_BYTES = 116
SECTIONS = ((0, "MirnelFFS", 0), (32, "SAMPLES_FORMAT", 20), (84, "SAMPLES_RECORD", 0xFFFFFFFFFFFFFFFF))


def check_header(header, channels, rate, problems):
    for offset, name, length in SECTIONS:
        want_name = name.encode("ascii").ljust(24, b" ")
        got_name = header[offset:offset + 24]
        if got_name != want_name:
            problems.append(f"section name at {offset}: got {got_name!r}, want {want_name!r}")
        got_length = struct.unpack_from("<Q", header, offset + 24)[0]
        if got_length != length:
            problems.append(f"section length at {offset + 24}: got {got_length:#x}, want {length:#x}")
    code, count, got_rate = struct.unpack_from("<IId", header, 64)
    if code != 7:
        problems.append(f"format code at 64: got {code}, want 7")
    if count != channels:
        problems.append(f"channel count at 68: got {count}, want {channels}")
    if got_rate != rate:
        problems.append(f"channel rate at 72: got {got_rate!r}, want {rate!r}")
    flags = header[80:84]
    if flags != bytes((1, 0, 0, 1)):
        problems.append(f"bytes at 80: got {list(flags)}, want [1, 0, 0, 1]")


def fit_sine(values, cycles_per_row):
    """Least squares of a*cos + b*sin + c at the given frequency: (amplitude,
    offset, largest absolute residual, row of that residual)."""
    n = len(values)
    phases = []
    for i in range(n):
        cycles = i * cycles_per_row
        phases.append(2.0 * math.pi * (cycles - math.floor(cycles)))
    cs = [math.cos(p) for p in phases]
    sn = [math.sin(p) for p in phases]
    # Normal equations of the three columns cos, sin, 1.
    scc = sum(c * c for c in cs)
    sss = sum(s * s for s in sn)
    scs = sum(c * s for c, s in zip(cs, sn))
    sc = sum(cs)
    ss = sum(sn)
    yc = sum(c * y for c, y in zip(cs, values))
    ys = sum(s * y for s, y in zip(sn, values))
    y1 = sum(values)
    m = [[scc, scs, sc, yc], [scs, sss, ss, ys], [sc, ss, float(n), y1]]
    for col in range(3):
        pivot = max(range(col, 3), key=lambda r: abs(m[r][col]))
        m[col], m[pivot] = m[pivot], m[col]
        for r in range(3):
            if r != col:
                f = m[r][col] / m[col][col]
                m[r] = [x - f * y for x, y in zip(m[r], m[col])]
    a, b, c = (m[r][3] / m[r][r] for r in range(3))
    worst, worst_row = 0.0, 0
    for i, y in enumerate(values):
        r = abs(y - (a * cs[i] + b * sn[i] + c))
        if r > worst:
            worst, worst_row = r, i
    return math.hypot(a, b), c, worst, worst_row


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("file")
    parser.add_argument("--channels", type=int, required=True)
    parser.add_argument("--rate", type=float, required=True)
    parser.add_argument("--full-scale", type=float, default=10.0)
    parser.add_argument("--min-rows", type=int, default=1)
    parser.add_argument("--max-leading-zeros", type=int)
    parser.add_argument("--sine", action="append", default=[])
    parser.add_argument("--tolerance", type=float, default=0.02)
    args = parser.parse_args()

    with open(args.file, "rb") as f:
        data = f.read()
    name = args.file
    problems = []
    if len(data) < HEADER_BYTES:
        print(f"FAIL {name}: size: got {len(data)} bytes, want at least {HEADER_BYTES}")
        return 1
    check_header(data[:HEADER_BYTES], args.channels, args.rate, problems)
    row_bytes = args.channels * 4
    payload = len(data) - HEADER_BYTES
    if payload % row_bytes:
        problems.append(f"size: got {len(data)} = {HEADER_BYTES} + {payload}, want {HEADER_BYTES} + "
                        f"whole rows of {row_bytes} bytes ({payload % row_bytes} bytes left over)")
    if problems:
        print(f"FAIL {name}: " + "; ".join(problems))
        return 1

    values = array.array("f")
    values.frombytes(data[HEADER_BYTES:])
    if sys.byteorder != "little":
        values.byteswap()
    rows = len(values) // args.channels
    if rows < args.min_rows:
        problems.append(f"rows: got {rows}, want at least {args.min_rows}")
    for i, v in enumerate(values):
        if not math.isfinite(v) or abs(v) > args.full_scale:
            problems.append(f"row {i // args.channels} channel {i % args.channels}: got {v!r}, "
                            f"want a finite value within +-{args.full_scale} V")
            break
    # A recording may begin with rows of zeros: the windows before they filled.
    leading = 0
    while leading < rows and not any(values[leading * args.channels:(leading + 1) * args.channels]):
        leading += 1

    if args.max_leading_zeros is not None and leading > args.max_leading_zeros:
        problems.append(f"leading rows of zeros: got {leading}, want at most {args.max_leading_zeros}")
    summary = [f"{rows} rows of {args.channels} channels at {args.rate:g} Hz, {leading} leading rows of zeros"]
    for tone in args.sine:
        channel, amplitude, frequency = tone.split(":")
        channel, amplitude, frequency = int(channel), float(amplitude), float(frequency)
        if not 0 <= channel < args.channels:
            problems.append(f"--sine {tone}: no channel {channel} in {args.channels}")
            continue
        column = list(values[leading * args.channels + channel::args.channels])
        if len(column) < 1000:
            problems.append(f"channel {channel}: got {len(column)} rows after the zeros, want at least 1000")
            continue
        fitted, offset, worst, worst_row = fit_sine(column, frequency / args.rate)
        peak = max(abs(v) for v in column)
        summary.append(f"channel {channel}: fitted {fitted:.4f} V offset {offset:+.4f} V, peak {peak:.4f} V, "
                       f"largest deviation {worst:.4f} V")
        if abs(fitted - amplitude) > 0.01 * amplitude or abs(peak - amplitude) > 0.02 * amplitude:
            problems.append(f"channel {channel} amplitude: got fitted {fitted:.4f} V and peak {peak:.4f} V, "
                            f"want {amplitude} V")
        if worst > args.tolerance:
            problems.append(f"channel {channel}: row {leading + worst_row} strays {worst:.4f} V from a "
                            f"{frequency} Hz sine, want at most {args.tolerance} V")
    if problems:
        print(f"FAIL {name}: " + "; ".join(problems) + " (" + "; ".join(summary) + ")")
        return 1
    print(f"{name}: " + "; ".join(summary))
    return 0


if __name__ == "__main__":
    sys.exit(main())
