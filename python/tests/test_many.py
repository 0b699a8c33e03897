# SPDX-License-Identifier: MIT
"""The many-value forms: the same results as one call per value."""

from __future__ import annotations

from decimal import Decimal
from typing import Any, Callable, Dict, Tuple

import mpmath
import numpy as np
import pytest

import zelq

MANY: Dict[str, Tuple[Callable[..., Any], Callable[..., Any], Any]] = {
    # name: (many, one, values inside the domain)
    "ndtr": (zelq.ndtr_many, zelq.ndtr, np.linspace(-40.0, 9.0, 29)),
    "log_ndtr": (zelq.log_ndtr_many, zelq.log_ndtr, np.linspace(-400.0, 40.0, 23)),
    "ndtri": (zelq.ndtri_many, zelq.ndtri, np.linspace(0.0, 1.0, 21)),
    "ndtri_exp": (zelq.ndtri_exp_many, zelq.ndtri_exp, -np.geomspace(1e-30, 1e6, 19)),
}


@pytest.mark.parametrize("name", MANY)
def test_many_matches_one_at_a_time(name: str) -> None:
    many, one, xs = MANY[name]
    for upper in (False, True):
        want = [one(x, upper=upper, as_type=str) for x in xs.tolist()]
        # lists of mixed types, arrays, generators; split over threads or not
        mixed = [Decimal(x) if i % 3 == 0 else str(Decimal(x)) if i % 3 == 1 else x for i, x in enumerate(xs.tolist())]
        assert many(mixed, upper=upper, as_type=str) == want
        assert many(xs, upper=upper, as_type=str, workers=3) == want
        assert many((x for x in xs), upper=upper, as_type=str, workers=1) == want
        assert many(xs, upper=upper) == [Decimal(w) for w in want]
        got = many(xs, upper=upper, as_type=mpmath.mpf)
        assert [mpmath.nstr(g, 30) for g in got] == [mpmath.nstr(one(x, upper=upper, as_type=mpmath.mpf), 30) for x in xs]


def test_float_results_come_as_an_array_of_the_input_shape() -> None:
    xs = np.array([[-1.0, 0.0, np.nan], [2.5, -np.inf, np.inf]])
    got = zelq.ndtr_many(xs, as_type=float)
    assert isinstance(got, np.ndarray) and got.dtype == np.float64 and got.shape == (2, 3)
    want = [zelq.ndtr(x, as_type=float) for x in xs.ravel().tolist()]
    np.testing.assert_array_equal(got.ravel(), want)
    assert zelq.ndtr_many([0, "1"], as_type=float).shape == (2,)
    # other dtypes: each element's exact value
    for a in [np.arange(-3, 3), np.float32([0.1, -2.5]), np.array(["-0.3", "1e-5"]), np.array([Decimal("-7.25")], dtype=object)]:
        assert zelq.ndtr_many(a, as_type=str) == [zelq.ndtr(x, as_type=str) for x in a.tolist()]


@pytest.mark.parametrize("name", MANY)
def test_float_arrays_go_through_doubles_to_the_same_floats(name: str) -> None:
    # A float64 array to floats takes the library's double entry: each value
    # must be what one call gives, on any number of threads, far out and at
    # the ends too.
    many, one, xs = MANY[name]
    extra = {"ndtr": [-38.0, -1e300, 5e-324], "log_ndtr": [-1e154, -1.9e154, 50.0], "ndtri": [1e-320, 5e-324, 0.5],
             "ndtri_exp": [-1e300, -5e-324, 0.0]}[name]
    xs = np.concatenate([xs, extra, [np.nan]])
    for upper in (False, True):
        want = [one(x, upper=upper, as_type=float) for x in xs.tolist()]
        for workers in (1, 2, 5):
            got = many(xs, upper=upper, as_type=float, workers=workers)
            np.testing.assert_array_equal(got, want)
        assert many(xs.tolist(), upper=upper, as_type=float).tolist() == pytest.approx(want, nan_ok=True, rel=0)


def test_long_input_split_over_threads() -> None:
    xs = np.random.default_rng(3).uniform(-30.0, 6.0, 3 * 2000 + 17)
    one = zelq.ndtr_many(xs, as_type=str, workers=1)
    assert zelq.ndtr_many(xs, as_type=str) == one  # the default splits inputs this long
    assert zelq.ndtr_many(xs, as_type=str, workers=4) == one


def test_bad_values_are_named_by_index() -> None:
    with pytest.raises(ValueError, match=r"ndtr_many: values\[2\]: cannot read 'x'"):
        zelq.ndtr_many([0, 1, "x"])
    with pytest.raises(ValueError, match=r"ndtri_many: values\[1\]: p = 1.5 is outside"):
        zelq.ndtri_many([0.5, 1.5])
    with pytest.raises(ValueError, match=r"ndtri_many: values\[2\]: p = -0.5 is outside"):
        zelq.ndtri_many(np.array([0.5, 1.0, -0.5]), as_type=float)
    with pytest.raises(ValueError, match=r"ndtri_exp_many: values\[0\]: log_p = 0.25 is above 0"):
        zelq.ndtri_exp_many(np.array([0.25]), as_type=float)
    with pytest.raises(TypeError, match=r"values\[0\]"):
        zelq.ndtr_many([None])
    with pytest.raises(TypeError, match="sequence"):
        zelq.ndtr_many("123")
    with pytest.raises(ValueError, match="workers"):
        zelq.ndtr_many([1], workers=0)
    with pytest.raises(TypeError, match="as_type"):
        zelq.ndtr_many([1], as_type=int)
    assert zelq.ndtr_many([]) == []


def test_without_numpy_floats_come_as_a_list() -> None:
    import subprocess
    import sys

    code = "import sys; sys.modules['numpy'] = None; import zelq; print(zelq.ndtr_many([0, '-1'], as_type=float))"
    r = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert r.returncode == 0, r.stderr
    assert r.stdout.strip() == "[0.5, 0.15865525393145705]"
