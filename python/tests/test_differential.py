# SPDX-License-Identifier: MIT
"""The package's results against mpmath at 250 digits.

Arguments are binary values (floats, or dyadic texts), which the library
reads without rounding, so the reference is the true function at the very
argument the library saw; short decimal p below the number type's range go
in as text, which the library works on from its digits.
"""

from __future__ import annotations

import math
import random
from decimal import Decimal
from typing import Any, List

import mpmath
import pytest
from conftest import exact, log_phi, phi, phi_inv, phi_inv_log, rel_err

import zelq


def _pm(xs: List[float]) -> List[float]:
    return xs + [-x for x in xs]


def _dyadic_text(k: int, m: int) -> str:
    """The exact decimal text of k / 2^m (Decimal(int) has no digit limit)."""
    return f"{Decimal(k * 5**m)}e-{m}"


rng = random.Random(20261207)

PHI_POINTS = sorted(
    set(
        _pm([2.0**-k for k in (1, 3, 10, 30, 60, 200, 600, 1074)])  # near 0, to the least subnormal double
        + [-0.3, -1.0, -1.5, -3.1, -7.2, -20.25, -24.999, -25.0, -25.5, -30.0, -45.0, -100.0, -180.0, -213.1]
        + [1.0, 7.2, 21.9, 25.0]
        + [-float(k) - 0.5 * j for k in range(26) for j in (0, 1)]  # the series' start points and midway
        + [rng.uniform(-25.0, 0.0) for _ in range(60)]
        + [rng.uniform(0.0, 25.0) for _ in range(40)]
        + [rng.uniform(-213.1, -25.0) for _ in range(60)]
        + [rng.uniform(-1.0, 1.0) * 10.0 ** -rng.randint(1, 300) for _ in range(30)]
    )
)


def phi_bound(x: float) -> float:
    """The method's largest relative error over its test sweep (README, "Accuracy"), with room."""
    if x >= 0:
        return 5e-105
    if x >= -45:
        return 1e-103
    if x >= -180:
        return 2e-102
    return 5e-102


def test_ndtr_against_mpmath() -> None:
    for x in PHI_POINTS:
        got = zelq.ndtr(x)
        err = rel_err(got, phi(exact(x)))
        assert err <= phi_bound(x), f"ndtr({x!r}) = {got}: relative error {mpmath.nstr(err, 3)}"
    # upper tail: 1 - Phi(x), from the same sweep
    for x in PHI_POINTS[::3]:
        got = zelq.ndtr(x, upper=True)
        assert rel_err(got, phi(exact(-x))) <= phi_bound(-x), x


LOG_POINTS = sorted(
    set(
        _pm([2.0**-k for k in (1, 10, 60, 300, 1074)])
        + [rng.uniform(-40.0, 40.0) for _ in range(60)]
        + [rng.uniform(-213.0, -40.0) for _ in range(30)]
        + [-(10.0 ** rng.uniform(2.4, 6.0)) for _ in range(30)]  # beyond Phi's own range
        + [40.0, 100.0, 200.0]
    )
)


@pytest.mark.parametrize("upper", [False, True])
def test_log_ndtr_against_mpmath(upper: bool) -> None:
    # ln Phi(x) for x > 213 is below the number type's range; the sweep
    # stays within 200 on the side that gets there
    for x in [x for x in LOG_POINTS if (-x if upper else x) <= 200]:
        got = zelq.log_ndtr(x, upper=upper)
        want = log_phi(exact(-x if upper else x))
        assert rel_err(got, want) <= 1e-102, f"log_ndtr({x!r}, upper={upper}) = {got}"


def _p_points() -> List[Any]:
    pts: List[Any] = [2.0**-k for k in (1, 2, 5, 20, 100, 500, 1022, 1074)]
    pts += [rng.random() for _ in range(40)]
    pts += [10.0 ** -rng.uniform(1, 300) for _ in range(40)]
    # near 1/2 and near 1, exactly: 1/2 +- 2^-k, 1 - 2^-k
    pts += [_dyadic_text(2 ** (k - 1) + s, k) for k in (3, 20, 53, 100, 300) for s in (1, -1)]
    pts += [_dyadic_text(2**k - 1, k) for k in (10, 53, 200)]
    pts += ["1e-1000", "1e-9000", "3e-10000", "1e-100000", "7.5e-300000"]  # text; beyond the range too
    pts += [_dyadic_text(1, 32000)]
    return pts


P_POINTS = _p_points()


@pytest.mark.parametrize("upper", [False, True])
def test_ndtri_against_mpmath(upper: bool) -> None:
    for p in P_POINTS:
        got = zelq.ndtri(p, upper=upper)
        want = phi_inv(exact(p))
        assert rel_err(got, want, negate=upper) <= 1e-102, f"ndtri({p!r}, upper={upper}) = {got}"


def _log_p_points() -> List[Any]:
    ln_half = math.log(0.5)
    pts: List[Any] = [-(2.0**-k) for k in (1, 10, 60, 300, 1074)]  # near 0: Phi(z) next to 1
    pts += [-(10.0 ** rng.uniform(-10, 6)) for _ in range(50)]
    pts += [math.nextafter(ln_half, 0), ln_half, math.nextafter(ln_half, -1)]
    # ln 1/2 to the number type's last bit and its neighbours: z ~ 1e-106,
    # where an error of ln 2 in the 200th digit shows
    with mpmath.workdps(150):
        m = int(mpmath.nint(mpmath.log(2) * mpmath.mpf(2) ** 352))
    pts += [f"-{_dyadic_text(m + k, 352)}" for k in (-2, -1, 0, 1, 2)]
    pts += [-1e300]
    return pts


LOG_P_POINTS = _log_p_points()


@pytest.mark.parametrize("upper", [False, True])
def test_ndtri_exp_against_mpmath(upper: bool) -> None:
    for lp in LOG_P_POINTS:
        got = zelq.ndtri_exp(lp, upper=upper)
        want = phi_inv_log(exact(lp))
        assert rel_err(got, want, negate=upper) <= 1e-102, f"ndtri_exp({lp!r}, upper={upper}) = {got}"


def test_ends_and_centre() -> None:
    inf, nan = Decimal("Infinity"), Decimal("NaN")
    assert zelq.ndtr("-inf") == 0 and zelq.ndtr("inf") == 1 and zelq.ndtr(0) == Decimal("0.5")
    assert zelq.log_ndtr("-inf") == -inf and zelq.log_ndtr("inf") == 0
    assert zelq.ndtri(0) == -inf and zelq.ndtri(1) == inf and zelq.ndtri("0.5") == 0
    assert zelq.ndtri(0, upper=True) == inf and zelq.ndtri(1, upper=True) == -inf
    assert zelq.ndtri_exp(0) == inf and zelq.ndtri_exp(0, upper=True) == -inf
    assert zelq.ndtri_exp("-inf") == -inf
    assert zelq.ndtri_exp(nan).is_nan()
