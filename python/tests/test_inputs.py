# SPDX-License-Identifier: MIT
"""Arguments and results: every type alike, bad input refused, NaN kept."""

from __future__ import annotations

import math
import threading
from decimal import Decimal, localcontext
from fractions import Fraction
from typing import Any, Callable, Dict, List

import mpmath
import numpy as np
import pytest

import zelq
from zelq import _convert

FUNCS: Dict[str, Callable[..., Any]] = {
    "ndtr": zelq.ndtr,
    "log_ndtr": zelq.log_ndtr,
    "ndtri": zelq.ndtri,
    "ndtri_exp": zelq.ndtri_exp,
}


def _forms(v: float) -> List[Any]:
    """One binary value in every form taken."""
    d = Decimal(v)
    forms: List[Any] = [v, d, str(d), f"  {d:E}\n", np.float64(v), np.longdouble(v)]
    for prec in (53, 200, 400):
        with mpmath.workprec(prec):
            forms.append(mpmath.mpf(v))
    if v == int(v):
        forms += [int(v), np.int64(int(v))]
    if float(np.float32(v)) == v:
        forms.append(np.float32(v))
    return forms


# per function, values inside its domain
VALUES = {
    "ndtr": [-0.3, -1.0, -37.25, 5.5, 0.1, -2.0**-60, -213.09375],
    "log_ndtr": [-0.3, -1.0, -250.5, 5.5, 38.0],
    "ndtri": [0.3, 0.5, 0.75, 2.0**-70, 1e-300, 1.0],
    "ndtri_exp": [-0.3, -1.0, -1e6, -(2.0**-80), 0.0],
}


@pytest.mark.parametrize("name", FUNCS)
def test_every_type_gives_the_same_digits(name: str) -> None:
    f = FUNCS[name]
    for v in VALUES[name]:
        for upper in (False, True):
            want = f(v, upper=upper, as_type=str)
            for x in _forms(v):
                assert f(x, upper=upper, as_type=str) == want, (name, v, upper, x)


def test_mpf_beyond_352_bits_rounds_as_the_library_reads() -> None:
    # A 400-bit mpf is rounded here to 352 bits; the result must match its
    # exact expansion read by the library (nearest, ties to even). Ties and
    # their neighbours included.
    rng = np.random.default_rng(7)
    for i in range(300):
        k = (1 << 351) | int(rng.integers(0, 2**62)) << 200 | int(rng.integers(0, 2**62))
        low = [1 << 47, (1 << 47) - 1, (1 << 47) + 1, int(rng.integers(1, 2**47))][i % 4]
        with mpmath.workprec(400):
            x = -mpmath.mpf((k << 48) | low) * mpmath.mpf(2) ** -400
        sign, man, exp, _ = x._mpf_
        full = _convert._dyadic(bool(sign), int(man), int(exp)).decode()
        assert zelq.ndtr(x, as_type=str) == zelq.ndtr(full, as_type=str), i


def test_text_forms() -> None:
    want = zelq.ndtr("1.5", as_type=str)
    for s in ["1.5", " 1.5", "1.5\t", "+1.5", "1.50", "15e-1", "15E-1", ".15e1", "1_5e-1", "\u0661.\u0665"]:
        assert zelq.ndtr(s, as_type=str) == want, s
    # the library reads exponents that Decimal cannot hold
    assert zelq.ndtr("-1e99999999999999999999", as_type=str) == "0"


def test_results_of_each_type_agree() -> None:
    for x in ["-0.3", "-100", "1e-5", "20"]:
        text = zelq.ndtr(x, as_type=str)
        assert zelq.ndtr(x) == Decimal(text)
        assert zelq.ndtr(x, as_type=float) == float(text)
        # the mpf holds the 352-bit result exactly: rounding it to as many
        # digits as the text has gives the text back
        m = zelq.ndtr(x, as_type=mpmath.mpf)
        digits = len(text.split("e")[0].replace(".", ""))
        sign, man, exp, _ = m._mpf_
        assert _convert._rounded(bool(sign), int(man), int(exp), digits).decode() == text
    # a caller's low mpmath precision or Decimal context does not cut results
    with mpmath.workdps(15), localcontext() as ctx:
        ctx.prec = 5
        assert mpmath.mpf(zelq.ndtr("-1", as_type=mpmath.mpf)) - mpmath.mpf(zelq.ndtr("-1", as_type=str)) == 0
        assert len(str(zelq.ndtr("-1"))) > 100


def test_upper_negates_exactly() -> None:
    for x in ["1.5", "-0", "0", "inf", "-inf", "-37.25", 2.0**-1074]:
        assert zelq.ndtr(x, upper=True, as_type=str) == zelq.ndtr(_convert.negated(_convert.text_of(x)).decode(), as_type=str)
    with pytest.raises(ValueError):
        zelq.ndtr("--1", upper=True)


NANS = [float("nan"), np.nan, Decimal("NaN"), Decimal("-NaN"), Decimal("sNaN"), "nan", " -NaN ", "NaN12", mpmath.nan]


@pytest.mark.parametrize("name", FUNCS)
def test_nan_gives_nan(name: str) -> None:
    f = FUNCS[name]
    for x in NANS:
        assert f(x).is_nan()
        assert math.isnan(f(x, as_type=float))
        assert f(x, as_type=str) == "nan"
        assert mpmath.isnan(f(x, as_type=mpmath.mpf))


BAD_TEXT = ["", " ", "abc", "1.5x", "1,5", "--1", ".", "e5", "1e", "1e+", "0x10", "1/2", "1e999999999999999999999x"]


@pytest.mark.parametrize("name", FUNCS)
def test_bad_input_raises(name: str) -> None:
    f = FUNCS[name]
    for s in BAD_TEXT:
        with pytest.raises(ValueError, match=f"{name}: cannot read"):
            f(s)
    for x in [None, b"1", [1], 1j, object()]:
        with pytest.raises(TypeError, match=name):
            f(x)
    with pytest.raises(ValueError, match="no finite decimal expansion"):
        f(Fraction(1, 3))
    with pytest.raises(TypeError, match="as_type"):
        f("0", as_type=int)


def test_out_of_domain_raises() -> None:
    for p in [-0.1, "-1e-400", 1.5, "1.00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001", "inf", "-inf"]:
        with pytest.raises(ValueError, match=r"ndtri: p = .* is outside \[0, 1\]"):
            zelq.ndtri(p)
    for lp in [1e-300, "1e-100000", "inf", 2]:
        with pytest.raises(ValueError, match="ndtri_exp: log_p = .* is above 0"):
            zelq.ndtri_exp(lp)


def test_many_threads_give_the_same_results() -> None:
    args = [f"-{k}.{k}" for k in range(40)] + [0.25 * k for k in range(-20, 20)]
    want = [zelq.ndtr(x, as_type=str) for x in args]
    got: List[Any] = [None] * 8
    start = threading.Barrier(8)

    def run(k: int) -> None:
        start.wait()
        got[k] = [zelq.ndtr(x, as_type=str) for x in args]

    threads = [threading.Thread(target=run, args=(k,)) for k in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert got == [want] * 8
