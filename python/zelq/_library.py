# SPDX-License-Identifier: MIT
"""Finds and loads libzelq.so and binds its 8-bit text entries."""

from __future__ import annotations

import ctypes
import os
from typing import Callable, Dict, List, Optional, Sequence, Tuple

LIBRARY_ENV = "ZELQ_LIBRARY"
LIBRARY_NAME = "libzelq.so"
# libzelq.so needs this one; loading it first from the same folder satisfies
# that need whatever run path the copy was linked with.
_QFLOAT_NAME = "libqfloat.so"

# The result text of an entry never exceeds this many characters; a buffer of
# that many blanks asks for every digit.
TEXT_CAP = 115
BLANK = b" " * TEXT_CAP + b"\0"

# (Python name, C entry, whether it takes the "upper" flag)
_ENTRIES: Tuple[Tuple[str, str, bool], ...] = (
    ("ndtr", "str_Zelq_str_Maple", False),
    ("log_ndtr", "log_ndtr_Maple", True),
    ("ndtri", "ndtri_Maple", True),
    ("ndtri_exp", "ndtri_exp_Maple", True),
)


def candidates(env: Optional[str], package_dir: str) -> List[Tuple[str, str]]:
    """The places to try, in order, as (description, path or bare name).

    A set environment variable is the only place tried: when someone names a
    library, quietly loading another one would hide their mistake.
    """
    if env:
        path = os.path.join(env, LIBRARY_NAME) if os.path.isdir(env) else env
        return [(f"${LIBRARY_ENV}", path)]
    return [
        ("beside the package", os.path.join(package_dir, LIBRARY_NAME)),
        ("the system's library path", LIBRARY_NAME),
    ]


def _open(path: str) -> ctypes.CDLL:
    if os.sep in path:
        if not os.path.isfile(path):
            raise OSError("no such file")
        qfloat = os.path.join(os.path.dirname(path), _QFLOAT_NAME)
        if os.path.isfile(qfloat):
            ctypes.CDLL(qfloat)
    return ctypes.CDLL(path)


def load(places: Sequence[Tuple[str, str]]) -> Tuple[ctypes.CDLL, str]:
    """Loads the first place that works; else ImportError naming them all."""
    failures = []
    for where, path in places:
        try:
            lib = _open(path)
        except OSError as e:
            failures.append(f"  {where}: {path}: {e}")
            continue
        if not hasattr(lib, _ENTRIES[0][1]):
            failures.append(f"  {where}: {path}: has no entry {_ENTRIES[0][1]}")
            continue
        return lib, _loaded_path(lib, path)
    hint = (
        f"unset {LIBRARY_ENV} to search the default places"
        if len(places) == 1
        else f"set {LIBRARY_ENV} to the file (or its folder)"
    )
    raise ImportError("zelq: cannot load libzelq.so; tried:\n" + "\n".join(failures) + f"\n({hint})")


class _DlInfo(ctypes.Structure):
    _fields_ = [
        ("dli_fname", ctypes.c_char_p),
        ("dli_fbase", ctypes.c_void_p),
        ("dli_sname", ctypes.c_char_p),
        ("dli_saddr", ctypes.c_void_p),
    ]


def _loaded_path(lib: ctypes.CDLL, fallback: str) -> str:
    """The file the loader actually opened (a bare name says nothing)."""
    try:
        dladdr = ctypes.CDLL(None).dladdr
    except AttributeError:
        return fallback
    info = _DlInfo()
    addr = ctypes.cast(getattr(lib, _ENTRIES[0][1]), ctypes.c_void_p)
    if dladdr(addr, ctypes.byref(info)) and info.dli_fname:
        return os.fsdecode(info.dli_fname)
    return fallback


# The many-value entries and the function codes they take.
MANY_CODES = {"ndtr": 0, "log_ndtr": 1, "ndtri": 2, "ndtri_exp": 3}
MANY_SLOT = TEXT_CAP + 1


def bind_many(lib: ctypes.CDLL) -> Tuple[Optional[Callable[..., int]], Optional[Callable[..., int]]]:
    """zelq_many_text and zelq_many_double, None where this build lacks them.
    Both leave the GIL for a whole chunk of values, so that threads run on
    several cores at once."""
    text = getattr(lib, "zelq_many_text", None)
    double = getattr(lib, "zelq_many_double", None)
    if text is not None:
        text.restype = ctypes.c_int
        text.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p,
                         ctypes.c_int]
    if double is not None:
        double.restype = ctypes.c_int
        double.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p]
    return text, double


def bind(lib: ctypes.CDLL) -> Dict[str, Optional[Callable[..., int]]]:
    """The entries by Python name; None where this build lacks one."""
    out: Dict[str, Optional[Callable[..., int]]] = {}
    for name, symbol, has_upper in _ENTRIES:
        fn = getattr(lib, symbol, None)
        if fn is not None:
            # No argtypes: their checks cost about a fifth of a microsecond per
            # call, and the package alone calls these, always with bytes, a
            # ctypes char buffer and (where has_upper) a Python int.
            fn.restype = ctypes.c_int
        out[name] = fn
    return out
