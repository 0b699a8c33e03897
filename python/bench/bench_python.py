# SPDX-License-Identifier: MIT
"""What the Python package costs, in one run, as ratios.

1. zelq.ndtr(str) per call beside the C entry's own time (a C loop over the
   same entry, compiled here from entry_timer.c), and where the difference
   goes.
2. zelq.ndtr and zelq.ndtri beside mpmath at 110 digits (ncdf; erfinv near
   the centre, findroot in the tails).
3. ndtr_many over many values on one and two threads beside the C loop on
   the same texts.

Every figure is the fastest of several interleaved rounds: other work on a
shared machine only ever adds time, and interleaving exposes every column to
the same spells of it. Needs a C compiler, NumPy and
mpmath (with gmpy2, or the mpmath figures say so).

    /usr/bin/python3 python/bench/bench_python.py [--many 1000000] [--rounds 9]
"""

from __future__ import annotations

import argparse
import ctypes
import math
import os
import subprocess
import sys
import tempfile
import timeit
from decimal import Decimal
from typing import Callable, Dict, List

import mpmath
import numpy

import zelq
from zelq import _convert

HERE = os.path.dirname(os.path.abspath(__file__))
GRID = ["-0.3", "-1", "-30", "-100"]
P_GRID = ["0.3", "0.025", "1e-10", "1e-100"]


def build_timer(tmp: str) -> ctypes.CDLL:
    out = os.path.join(tmp, "entry_timer.so")
    cc = os.environ.get("CC", "cc")
    subprocess.run([cc, "-O2", "-shared", "-fPIC", "-o", out, os.path.join(HERE, "entry_timer.c"), "-lpthread"], check=True)
    lib = ctypes.CDLL(out)
    lib.time_one.restype = ctypes.c_double
    lib.time_one.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_char_p, ctypes.c_long]
    lib.time_many.restype = ctypes.c_double
    lib.time_many.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.POINTER(ctypes.c_char_p), ctypes.c_long, ctypes.c_int]
    return lib


def address(name: str) -> int:
    fn = getattr(zelq._lib, {"ndtr": "str_Zelq_str_Maple", "ndtri": "ndtri_Maple"}[name])
    return ctypes.cast(fn, ctypes.c_void_p).value or 0


def rounds(cases: Dict[str, Callable[[], float]], n: int) -> Dict[str, float]:
    """Fastest of n interleaved rounds of each case (seconds per call)."""
    seen: Dict[str, List[float]] = {k: [] for k in cases}
    for _ in range(n):
        for k, f in cases.items():
            seen[k].append(f())
    return {k: min(v) for k, v in seen.items()}


def py_timer(stmt: str, calls: int, **names: object) -> Callable[[], float]:
    t = timeit.Timer(stmt, globals=dict(names))
    return lambda: t.timeit(calls) / calls


def us(s: float) -> str:
    return f"{s * 1e6:8.2f}"


def table(title: str, head: List[str], rows: List[List[str]]) -> None:
    print(f"\n{title}")
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(head)]
    def line(cells: List[str]) -> str:
        return "  " + "  ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(cells, widths)))

    print(line(head))
    for r in rows:
        print(line(r))


def per_call(timer: ctypes.CDLL, n_rounds: int) -> None:
    fn = zelq._entries["ndtr"]
    addr = address("ndtr")
    buf = ctypes.create_string_buffer(116)
    blank = b" " * 115 + b"\0"
    rows = []
    for x in GRID + ["1"]:
        raw = zelq.ndtr(x, as_type=str).encode()
        reps = 3000
        m = rounds(
            {
                "c": lambda: float(timer.time_one(addr, -1, x.encode(), reps)) / reps,
                "ctypes": py_timer("buf.raw = blank; n = fn(t, buf); buf.raw[:n]", reps, buf=buf, blank=blank, fn=fn, t=x.encode()),
                "dec": py_timer("ndtr(x)", reps, ndtr=zelq.ndtr, x=x),
                "str": py_timer("ndtr(x, as_type=str)", reps, ndtr=zelq.ndtr, x=x),
                "parse": py_timer("Decimal(r.decode())", reps, Decimal=Decimal, r=raw),
                "arg": py_timer("x.encode('ascii')", reps, x=x),
            },
            n_rounds,
        )
        c = m["c"]
        rows.append(
            [x, us(c), us(m["dec"]), us(m["dec"] - c), us(m["str"]), us(m["str"] - c),
             us(m["ctypes"] - c), us(m["arg"]), us(m["parse"]),
             us(m["dec"] - m["ctypes"] - m["arg"] - m["parse"])]
        )
    table(
        "1. zelq.ndtr(str) against the entry str_Zelq_str_Maple timed in C (us per call)",
        ["x", "entry", "ndtr", "over", "ndtr->str", "over", "ctypes", "argument", "->Decimal", "rest"],
        rows,
    )
    print("  over: ndtr minus the entry. Of it: ctypes = the foreign call with its buffer refill, argument =")
    print("  encoding the str, ->Decimal = reading the result text, rest = the package's own Python steps.")


def mp_ndtri(p: mpmath.mpf) -> mpmath.mpf:
    """Phi^-1 the mpmath way: erfinv near the centre, findroot in the tails."""
    if mpmath.mpf("1e-3") <= p <= 1 - mpmath.mpf("1e-3"):
        with mpmath.extradps(10):  # 1 - 2p cancels a few digits
            return -mpmath.sqrt(2) * mpmath.erfinv(1 - 2 * p)
    q = min(p, 1 - p)
    lq = mpmath.log(q)
    # start from ln q = -z^2/2 - ln|z| - ln sqrt(2 pi), with z^2 ~ t = -2 ln q
    t = float(-2 * lq)
    z0 = -math.sqrt(t - math.log(2 * math.pi * t))
    z = mpmath.findroot(lambda z: mpmath.log(mpmath.ncdf(z)) - lq, z0)
    return z if p < 0.5 else -z


def against_mpmath(timer: ctypes.CDLL, n_rounds: int) -> None:
    mpmath.mp.dps = 110
    rows = []
    for x in GRID:
        xm = mpmath.mpf(x)
        m = rounds(
            {
                "mp_str": py_timer("ncdf(mpf(x))", 300, ncdf=mpmath.ncdf, mpf=mpmath.mpf, x=x),
                "z_str": py_timer("ndtr(x)", 300, ndtr=zelq.ndtr, x=x),
                "mp_mpf": py_timer("ncdf(x)", 300, ncdf=mpmath.ncdf, x=xm),
                "z_mpf": py_timer("ndtr(x, as_type=mpf)", 300, ndtr=zelq.ndtr, x=xm, mpf=mpmath.mpf),
            },
            n_rounds,
        )
        rows.append([x, us(m["mp_str"]), us(m["z_str"]), f"{m['mp_str'] / m['z_str']:6.1f}",
                     us(m["mp_mpf"]), us(m["z_mpf"]), f"{m['mp_mpf'] / m['z_mpf']:6.1f}"])
    table(
        f"2a. Phi: mpmath.ncdf at 110 digits (backend {mpmath.libmp.BACKEND}) against zelq.ndtr (us per call; ratio = mpmath / zelq)",
        ["x", "mpmath(str)", "zelq(str)", "ratio", "mpmath(mpf)", "zelq(mpf->mpf)", "ratio"],
        rows,
    )
    print("  (str): from the text to mpmath's mpf or zelq's Decimal; (mpf): from an mpf to an mpf.")
    if zelq._entries["ndtri"] is None:
        print("\n2b. Phi^-1: this libzelq.so has no ndtri entry; not measured.")
        return
    rows = []
    addr = address("ndtri")
    for p in P_GRID:
        pm = mpmath.mpf(p)
        m = rounds(
            {
                "mp": py_timer("f(p)", 3, f=mp_ndtri, p=pm),
                "z": py_timer("ndtri(p)", 300, ndtri=zelq.ndtri, p=p),
                "c": lambda: float(timer.time_one(addr, 0, p.encode(), 300)) / 300,
            },
            n_rounds,
        )
        rows.append([p, us(m["mp"]), us(m["z"]), f"{m['mp'] / m['z']:6.1f}", us(m["c"]), us(m["z"] - m["c"])])
    table(
        "2b. Phi^-1: mpmath (erfinv for 1e-3 <= p <= 1 - 1e-3, else findroot on ln ncdf) against zelq.ndtri(str) (us)",
        ["p", "mpmath", "zelq", "ratio", "entry ndtri_Maple", "zelq over entry"],
        rows,
    )


def many(timer: ctypes.CDLL, n: int, n_rounds: int) -> None:
    rng = numpy.random.default_rng(20261207)
    xs = rng.uniform(-40.0, 8.0, n)
    texts = [_convert.text_of(v) for v in xs.tolist()]
    arr = (ctypes.c_char_p * n)(*texts)
    addr = address("ndtr")

    def c(threads: int) -> Callable[[], float]:
        return lambda: float(timer.time_many(addr, -1, arr, n, threads)) / n

    strs = [t.decode() for t in texts]

    def py(workers: int, values: object, as_type: type) -> Callable[[], float]:
        t = py_timer("ndtr_many(v, as_type=a, workers=w)", 1, ndtr_many=zelq.ndtr_many, v=values, a=as_type, w=workers)
        return lambda: t() / n

    m = rounds(
        {"c1": c(1), "c2": c(2), "p1": py(1, xs, float), "p2": py(2, xs, float), "s1": py(1, strs, str), "s2": py(2, strs, str)},
        max(1, n_rounds // 3),
    )
    # the package's own steps, once
    conv = py_timer("[text_of(v) for v in xs.tolist()]", 1, text_of=_convert.text_of, xs=xs)() / n
    raws = [b"1.58655253931457051414767454367962077522087033273395609012605549757008558012795170499115081594360672471728093917e-1"] * n
    parse = py_timer("numpy.fromiter(map(float, raws), dtype=numpy.float64, count=len(raws))", 1, numpy=numpy, raws=raws)() / n
    c1 = m["c1"]
    rows = [
        ["C loop, 1 thread", us(c1), "1.00"],
        ["C loop, 2 threads", us(m["c2"]), f"{m['c2'] / c1:.2f}"],
        ["ndtr_many(float64 array, as_type=float), workers=1", us(m["p1"]), f"{m['p1'] / c1:.2f}"],
        ["ndtr_many(float64 array, as_type=float), workers=2", us(m["p2"]), f"{m['p2'] / c1:.2f}"],
        ["ndtr_many(list of str, as_type=str), workers=1", us(m["s1"]), f"{m['s1'] / c1:.2f}"],
        ["ndtr_many(list of str, as_type=str), workers=2", us(m["s2"]), f"{m['s2'] / c1:.2f}"],
    ]
    table(
        f"3. ndtr over {n} values uniform on [-40, 8] (us per value; ratio to the C loop on 1 thread over the same texts)",
        ["", "per value", "ratio"],
        rows,
    )
    print(f"  Python's share, on one core under the GIL: float -> exact text {us(conv).strip()} us, result text -> float {us(parse).strip()} us")


def main() -> None:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--many", type=int, default=1_000_000, help="values for ndtr_many (default 10^6)")
    ap.add_argument("--rounds", type=int, default=9, help="interleaved rounds per figure (default 9)")
    a = ap.parse_args()
    print(f"zelq {zelq.__version__} from {zelq.library_path}; Python {sys.version.split()[0]}; "
          f"mpmath {mpmath.__version__} ({mpmath.libmp.BACKEND}); cores available: {len(os.sched_getaffinity(0))}")
    with tempfile.TemporaryDirectory() as tmp:
        timer = build_timer(tmp)
        per_call(timer, a.rounds)
        against_mpmath(timer, a.rounds)
        many(timer, a.many, a.rounds)


if __name__ == "__main__":
    main()
