# SPDX-License-Identifier: MIT
"""The examples in the docstrings run and give what they show."""

from __future__ import annotations

import doctest

import zelq


def test_docstring_examples() -> None:
    result = doctest.testmod(zelq, optionflags=doctest.ELLIPSIS)
    assert result.attempted >= 15
    assert result.failed == 0
