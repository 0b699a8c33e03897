#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times mpmath at 110 digits on the cases of inverse_log_bench, for the
README's figures beside zelq (not part of any test run): Phi^-1(p) by
erfinv near the centre (p >= 0.1) and by findroot on ln ncdf in the tails
(from the asymptotic start z^2 = t - ln t, t = -2 ln p - ln 2 pi), and
ln Phi(x) as ln ncdf(x), ln(1 - ncdf(-x)) by log1p for x > 0. Prints
microseconds per value, the best of a few rounds.

Usage: python3 bench/mpmath_inverse_times.py [SECONDS_PER_CASE]   (default 0.3)
"""
import sys
import time

import mpmath as mp

PROBABILITIES = ["0.5000001", "0.4", "0.1", "1e-3", "1e-10", "1e-50", "1e-300", "1e-3000", "1e-9800"]
POINTS = ["-0.3", "-1", "-3.1", "-7.2", "-20.25", "-24.999", "-30", "-100", "-213", "1", "7.2"]
mp.mp.dps = 110


def inverse(p):
    if p >= mp.mpf("0.1"):
        return mp.sqrt(2) * mp.erfinv(2 * p - 1)
    L = mp.log(p)
    t = -2 * L - mp.log(2 * mp.pi)
    z0 = -mp.sqrt(t - mp.log(t))
    return mp.findroot(lambda z: mp.log(mp.ncdf(z)) - L, (z0, z0 * (1 + mp.mpf(10) ** -6)))


def ln_phi(x):
    return mp.log1p(-mp.ncdf(-x)) if x > 0 else mp.log(mp.ncdf(x))


def microseconds(fn, arg, budget):
    """Best time per call over rounds of calls that fill the budget."""
    fn(arg)  # warm caches (constants at this precision)
    best, spent, n = float("inf"), 0.0, 1
    while spent < budget:
        t0 = time.perf_counter()
        for _ in range(n):
            fn(arg)
        dt = time.perf_counter() - t0
        spent += dt
        best = min(best, dt / n)
        n = min(2 * n, 1000)
    return best * 1e6


def main():
    budget = float(sys.argv[1]) if len(sys.argv) > 1 else 0.3
    print("mpmath %s at %d digits (backend %s)" % (mp.__version__, mp.mp.dps, mp.libmp.BACKEND))
    print("\nPhi^-1(p)          us per value   z")
    for text in PROBABILITIES:
        p = mp.mpf(text)
        print("p = %-12s %12.1f   %s" % (text, microseconds(inverse, p, budget), mp.nstr(inverse(p), 12)))
    print("\nln Phi(x)          us per value   ln Phi")
    for text in POINTS:
        x = mp.mpf(text)
        print("x = %-12s %12.1f   %s" % (text, microseconds(ln_phi, x, budget), mp.nstr(ln_phi(x), 12)))


if __name__ == "__main__":
    main()
