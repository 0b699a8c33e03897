# SPDX-License-Identifier: MIT
"""Checked by mypy (run-tests.sh) against the installed package, never run:
its hints reach a user's code through py.typed."""

from decimal import Decimal
from typing import Any, List, assert_type

import numpy as np

import zelq

assert_type(zelq.ndtr("-1.5"), Decimal)
assert_type(zelq.ndtr(-1.5, upper=True, as_type=str), str)
assert_type(zelq.log_ndtr(Decimal(1), as_type=float), float)
assert_type(zelq.ndtri(0.25), Decimal)
assert_type(zelq.ndtri_exp(-3, as_type=str), str)
assert_type(zelq.ndtr_many(["1", 2.0]), List[Decimal])
assert_type(zelq.ndtri_many(np.array([0.5]), as_type=str), List[str])
many_floats = zelq.ndtr_many([1.0], as_type=float)
assert_type(many_floats, "np.ndarray[Any, np.dtype[np.float64]] | List[float]")
zelq.ndtr([1.0])  # type: ignore[call-overload]  # a list is no argument
