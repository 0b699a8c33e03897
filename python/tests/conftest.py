# SPDX-License-Identifier: MIT
"""Reference values from mpmath at 250 digits.

mpmath and NumPy are required: a missing one is an error here, not a skip.
"""

from __future__ import annotations

import math
import sys
from decimal import Decimal
from statistics import NormalDist
from typing import Any

import mpmath
import pytest

REF_DPS = 250
# the sweeps hold exact texts of 2^-32000 and the like (22,000 digits)
sys.set_int_max_str_digits(0)


def exact(x: Any) -> mpmath.mpf:
    """The exact value of a float, int or decimal text as a 250-digit mpf.

    The sweeps use binary values (floats, k / 2^m), which the library reads
    exactly, or short decimals, which mpmath reads exactly at this precision.
    """
    with mpmath.workdps(REF_DPS):
        if isinstance(x, float):
            n, d = x.as_integer_ratio()
            return mpmath.mpf(n) / d
        return mpmath.mpf(str(x))


def phi(x: mpmath.mpf) -> mpmath.mpf:
    with mpmath.workdps(REF_DPS):
        return mpmath.erfc(-x / mpmath.sqrt(2)) / 2


def _far(x: mpmath.mpf) -> mpmath.mpf:
    """S in Phi(x) = phi(x)/|x| * S, S = 1 - 1/x^2 + 3/x^4 - ..., for x < -1e5,
    where mpmath's erfc overflows and the terms fall fast."""
    s, term, k, eps = mpmath.mpf(1), mpmath.mpf(1), 1, mpmath.mpf(10) ** -REF_DPS
    while abs(term) > eps:
        term *= -(2 * k - 1) / x**2
        s += term
        k += 1
    return s


_FAR = -100000


def log_phi(x: mpmath.mpf) -> mpmath.mpf:
    with mpmath.workdps(REF_DPS):
        if x > 0:  # ln(1 - Phi(-x)): no cancellation when Phi(-x) is tiny
            return mpmath.log1p(-phi(-x))
        if x < _FAR:
            return -(x**2) / 2 - mpmath.log(-x) - mpmath.log(mpmath.sqrt(2 * mpmath.pi)) + mpmath.log(_far(x))
        return mpmath.log(phi(x))


def dlog_phi(x: mpmath.mpf) -> mpmath.mpf:
    """(ln Phi)'(x) = phi(x) / Phi(x)."""
    with mpmath.workdps(REF_DPS):
        if x < _FAR:
            return -x / _far(x)
        return mpmath.npdf(x) / phi(x)


def _start(log_q: float) -> float:
    """A double-precision z with Phi(z) ~ q <= 1/2, from ln q."""
    if log_q > -700:
        return NormalDist().inv_cdf(max(math.exp(log_q), 1e-300))
    t = -2 * log_q
    return -math.sqrt(t - math.log(2 * math.pi * t))


def _newton(g: Any, dg: Any, z: mpmath.mpf) -> mpmath.mpf:
    for _ in range(200):
        step = g(z) / dg(z)
        z -= step
        if abs(step) <= abs(z) * mpmath.mpf(10) ** (-REF_DPS + 10):
            return z
    raise AssertionError("Newton did not settle")


def phi_inv(p: mpmath.mpf) -> mpmath.mpf:
    """z with Phi(z) = p, 0 < p < 1."""
    with mpmath.workdps(REF_DPS):
        d = p - mpmath.mpf(1) / 2
        density = lambda z: mpmath.npdf(z)  # noqa: E731
        if abs(d) < mpmath.mpf(1) / 4:
            # Phi(z) - 1/2 = erf(z / sqrt 2) / 2, without cancellation near 1/2
            g = lambda z: mpmath.erf(z / mpmath.sqrt(2)) / 2 - d  # noqa: E731
            return _newton(g, density, mpmath.mpf(NormalDist().inv_cdf(float(p))))
        if d > 0:
            return -phi_inv(1 - p)
        lp = mpmath.log(p)
        g = lambda z: log_phi(z) - lp  # noqa: E731
        return _newton(g, dlog_phi, mpmath.mpf(_start(float(lp))))


def phi_inv_log(L: mpmath.mpf) -> mpmath.mpf:
    """z with ln Phi(z) = L < 0."""
    with mpmath.workdps(REF_DPS):
        g = lambda z: log_phi(z) - L  # noqa: E731
        if L < math.log(0.5):
            z0 = _start(float(L))
        else:
            # Phi(z) = e^L near 1: start from the upper tail q = 1 - e^L
            q = -mpmath.expm1(L)
            z0 = -_start(float(mpmath.log(q)))
        return _newton(g, dlog_phi, mpmath.mpf(z0))


def rel_err(got: Decimal, want: mpmath.mpf, negate: bool = False) -> mpmath.mpf:
    """|got - want| / |want| (|got| for want = 0), with want negated first
    when asked (here, at the reference's precision)."""
    with mpmath.workdps(REF_DPS):
        g = mpmath.mpf(str(got))
        if negate:
            want = -want
        if want == 0:
            return abs(g)
        return abs(g - want) / abs(want)


@pytest.fixture(autouse=True)
def _default_precision() -> Any:
    """Leaves mpmath's global precision as the tests found it."""
    saved = mpmath.mp.prec
    yield
    mpmath.mp.prec = saved
