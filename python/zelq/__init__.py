# SPDX-License-Identifier: MIT
"""The standard normal distribution to more than 100 significant digits.

Phi(x) = P(X <= x) for X ~ N(0, 1), its logarithm and its inverse, from
libzelq.so, a 352-bit evaluation of each. The names and arguments follow
SciPy's ``scipy.special`` (``ndtr``, ``log_ndtr``, ``ndtri``,
``ndtri_exp``); ``upper=True`` asks for the upper tail, as R's
``lower.tail = FALSE`` does.

Arguments may be ``str`` (anything ``decimal.Decimal`` reads), ``int``,
``float`` (its exact binary value), ``decimal.Decimal`` or ``mpmath.mpf``;
results come as ``decimal.Decimal`` unless ``as_type`` asks for ``str``,
``float`` or ``mpmath.mpf``.

>>> import zelq
>>> zelq.ndtr("-1.5", as_type=str)[:42]
'6.6807201268858066004494040979886079522895'
>>> zelq.ndtr(-1.5, as_type=float)
0.06680720126885807
>>> zelq.ndtr("-40") < zelq.ndtr("-30")
True

The library is found through the environment variable ``ZELQ_LIBRARY`` (the
file, or its folder), else beside this package, else on the system's library
path; ``zelq.library_path`` is the file loaded.
"""

from __future__ import annotations

import ctypes
import os
import threading
from decimal import Decimal
from typing import (
    TYPE_CHECKING,
    Any,
    Callable,
    Iterable,
    List,
    NoReturn,
    Optional,
    Protocol,
    Sequence,
    Tuple,
    Type,
    TypeVar,
    Union,
    overload,
)

from . import _convert, _library
from ._convert import BadArgument, negated, result_converter, text_of, value_of

if TYPE_CHECKING:  # pragma: no cover
    import numpy
    import numpy.typing

__all__ = [
    "ndtr",
    "log_ndtr",
    "ndtri",
    "ndtri_exp",
    "ndtr_many",
    "log_ndtr_many",
    "ndtri_many",
    "ndtri_exp_many",
    "library_path",
]
__version__ = "1.0.0"


class _MpfLike(Protocol):
    _mpf_: Tuple[int, Any, int, int]


Real = Union[str, int, float, Decimal, _MpfLike]
"""What an argument may be."""

T = TypeVar("T")

_lib, library_path = _library.load(
    _library.candidates(os.environ.get(_library.LIBRARY_ENV), os.path.dirname(os.path.abspath(__file__)))
)
_entries = _library.bind(_lib)
_many_text, _many_double = _library.bind_many(_lib)

_BLANK = _library.BLANK
_NAN = _convert.NAN
_tls = threading.local()


def _new_buffer() -> Any:
    _tls.buf = ctypes.create_string_buffer(len(_BLANK))
    return _tls.buf


# -- domain rules, checked here on the exact value: the library says only
# "nan" for both a NaN and an argument outside the domain, and sees the
# argument only after rounding (1 + 1e-200 reads as 1).


def _check_p(text: bytes, shown: Any) -> str:
    if text != _NAN and not 0 <= value_of(text) <= 1:
        return f"p = {shown!r} is outside [0, 1]"
    return ""


def _check_log_p(text: bytes, shown: Any) -> str:
    if text != _NAN and value_of(text) > 0:
        return f"log_p = {shown!r} is above 0"
    return ""


class _Function:
    """One library function: its entry, and the rules around it."""

    __slots__ = ("name", "entry", "flagged", "check", "doubtful")

    def __init__(self, name: str, check: Optional[Callable[[bytes, Any], str]]) -> None:
        self.name = name
        self.entry = _entries[name]
        # Phi's entry has no tail flag: its upper tail is Phi(-x).
        self.flagged = name != "ndtr"
        self.check = check
        # Results of a text handed over unchecked that need the argument
        # looked at: "nan" may be a refusal; and where there is a domain, an
        # infinite result may come from a p just above 1 read as 1, or an
        # ln p just above 0 read as 0. A finite result says the argument was
        # inside (rounding keeps p > 1 at >= 1, and L > 0 at >= 0).
        self.doubtful = (_NAN,) if check is None else (_NAN, b"inf", b"-inf")

    def missing(self) -> NoReturn:
        raise NotImplementedError(f"zelq.{self.name}: {library_path} is a build without this function")

    def prepare(self, x: Any, upper: bool) -> bytes:
        """The argument as the entry's text, checked. Raises BadArgument
        (a ValueError) or TypeError with a message for the caller to prefix."""
        t = text_of(x)
        if self.check is not None:
            problem = self.check(t, x)
            if problem:
                raise BadArgument(problem)
        return negated(t) if upper and not self.flagged else t


_NDTR = _Function("ndtr", None)
_LOG_NDTR = _Function("log_ndtr", None)
_NDTRI = _Function("ndtri", _check_p)
_NDTRI_EXP = _Function("ndtri_exp", _check_log_p)


def _one(f: _Function, x: Any, upper: bool, as_type: Any) -> Any:
    entry = f.entry
    if entry is None:
        f.missing()
    try:
        buf = _tls.buf
    except AttributeError:
        buf = _new_buffer()
    flagged = f.flagged
    raw = None
    if type(x) is str and (flagged or not upper):
        # What the library reads, Decimal reads too, as the same value: hand
        # the text over as it is, and look closer only at a doubtful result.
        try:
            text = x.encode("ascii")
        except UnicodeEncodeError:
            pass
        else:
            buf.raw = _BLANK
            n = entry(text, buf, 1 if upper else 0) if flagged else entry(text, buf)
            raw = buf.raw[:n]
    if raw is None or raw in f.doubtful:
        try:
            text = f.prepare(x, upper)
        except BadArgument as e:
            raise ValueError(f"{f.name}: {e}") from None
        except TypeError as e:
            raise TypeError(f"{f.name}: {e}") from None
        buf.raw = _BLANK
        n = entry(text, buf, 1 if upper else 0) if flagged else entry(text, buf)
        raw = buf.raw[:n]
    if as_type is Decimal:
        return Decimal(raw.decode())
    return result_converter(as_type)(raw)


@overload
def ndtr(x: Real, *, upper: bool = False) -> Decimal: ...
@overload
def ndtr(x: Real, *, upper: bool = False, as_type: Type[T]) -> T: ...
def ndtr(x: Real, *, upper: bool = False, as_type: Any = Decimal) -> Any:
    """Phi(x), the probability that a standard normal variable is <= x.

    With ``upper=True``, 1 - Phi(x), computed as Phi(-x) with its full
    relative precision however small it is.

    >>> ndtr(0) == Decimal("0.5")
    True
    >>> ndtr("-10", as_type=str)[:30]
    '7.6198530241605260659733432515'
    >>> ndtr("10", upper=True, as_type=float)
    7.619853024160525e-24
    >>> ndtr(float("nan"))
    Decimal('NaN')
    >>> ndtr("x")
    Traceback (most recent call last):
    ValueError: ndtr: cannot read 'x' as a number
    """
    return _one(_NDTR, x, upper, as_type)


@overload
def log_ndtr(x: Real, *, upper: bool = False) -> Decimal: ...
@overload
def log_ndtr(x: Real, *, upper: bool = False, as_type: Type[T]) -> T: ...
def log_ndtr(x: Real, *, upper: bool = False, as_type: Any = Decimal) -> Any:
    """ln Phi(x); with ``upper=True``, ln(1 - Phi(x)).

    Keeps its relative precision where Phi(x) itself leaves the number
    type's range (far below x = -213).

    >>> log_ndtr("-1", as_type=str)[:30]
    '-1.841021645009263505770783073'
    >>> log_ndtr(1e6, upper=True, as_type=float)
    -500000000014.73444
    """
    return _one(_LOG_NDTR, x, upper, as_type)


@overload
def ndtri(p: Real, *, upper: bool = False) -> Decimal: ...
@overload
def ndtri(p: Real, *, upper: bool = False, as_type: Type[T]) -> T: ...
def ndtri(p: Real, *, upper: bool = False, as_type: Any = Decimal) -> Any:
    """The z with Phi(z) = p; with ``upper=True``, the z with 1 - Phi(z) = p.

    p must lie in [0, 1]: p = 0 gives -inf and p = 1 gives inf (mirrored
    with ``upper=True``). A p given as text may lie far below the number
    type's range ("1e-100000"): the library works from its digits.

    >>> ndtri("0.025", as_type=str)[:30]
    '-1.959963984540054235524594430'
    >>> ndtri("1e-100000", as_type=float)
    -678.6030803382906
    >>> ndtri(2)
    Traceback (most recent call last):
    ValueError: ndtri: p = 2 is outside [0, 1]
    """
    return _one(_NDTRI, p, upper, as_type)


@overload
def ndtri_exp(log_p: Real, *, upper: bool = False) -> Decimal: ...
@overload
def ndtri_exp(log_p: Real, *, upper: bool = False, as_type: Type[T]) -> T: ...
def ndtri_exp(log_p: Real, *, upper: bool = False, as_type: Any = Decimal) -> Any:
    """The z with ln Phi(z) = log_p; with ``upper=True``, ln(1 - Phi(z)) = log_p.

    log_p must be <= 0; 0 gives inf (-inf with ``upper=True``).

    >>> ndtri_exp("-1000", as_type=float)
    -44.6157477319694
    """
    return _one(_NDTRI_EXP, log_p, upper, as_type)


# -- many values at once


def _workers(n: int, workers: Optional[int]) -> int:
    if workers is not None:
        if workers < 1:
            raise ValueError(f"workers must be at least 1, not {workers}")
        return min(workers, max(n, 1))
    try:
        cores = len(os.sched_getaffinity(0))
    except AttributeError:  # pragma: no cover - not Linux
        cores = os.cpu_count() or 1
    # A thread costs some 100 us to start: worth it only for long inputs.
    return max(1, min(cores, n // _MIN_PER_WORKER))


_MIN_PER_WORKER = 2000


def _threads(n: int, workers: int, work: Callable[[int, int], None]) -> None:
    """work(lo, hi) over [0, n) split in ``workers`` parts, one thread each."""
    if workers <= 1:
        work(0, n)
        return
    errors: List[BaseException] = []

    def part(lo: int, hi: int) -> None:
        try:
            work(lo, hi)
        except BaseException as e:  # pragma: no cover - handed to the caller
            errors.append(e)

    bounds = [n * k // workers for k in range(workers + 1)]
    threads = [threading.Thread(target=part, args=(bounds[k], bounds[k + 1])) for k in range(workers)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if errors:
        raise errors[0]


def _run(fn: Callable[..., int], texts: Sequence[bytes], flag: Optional[int], out: List[Any], lo: int, hi: int) -> None:
    # One call per value, for a build without the many-value entries.
    buf = ctypes.create_string_buffer(len(_BLANK))
    blank = _BLANK
    for i in range(lo, hi):
        buf.raw = blank
        n = fn(texts[i], buf) if flag is None else fn(texts[i], buf, flag)
        out[i] = buf.raw[:n]


def _evaluate(f: "_Function", texts: Sequence[bytes], flag: Optional[int], workers: int) -> List[bytes]:
    n = len(texts)
    if _many_text is None or n == 0:
        out: List[Any] = [None] * n
        _threads(n, workers, lambda lo, hi: _run(f.entry, texts, flag, out, lo, hi))  # type: ignore[arg-type]
        return out
    # The texts in slots of one width, the results in slots of 116 bytes;
    # each thread hands its share to the library in one call.
    stride = max(len(t) for t in texts) + 1
    slot = _library.MANY_SLOT
    xs = b"".join(t.ljust(stride, b"\0") for t in texts)
    ys = ctypes.create_string_buffer(n * slot)
    x_addr = ctypes.cast(ctypes.c_char_p(xs), ctypes.c_void_p).value or 0
    y_addr = ctypes.addressof(ys)
    code = _library.MANY_CODES[f.name]
    many: Callable[..., int] = _many_text  # narrowed by the test above

    def work(lo: int, hi: int) -> None:
        many(code, flag or 0, hi - lo, x_addr + lo * stride, stride, y_addr + lo * slot, slot)

    _threads(n, workers, work)
    raw = ys.raw
    return [raw[i : raw.index(b"\0", i)] for i in range(0, n * slot, slot)]


def _many_doubles(f: "_Function", x: Any, upper: bool, workers: int, where: str) -> Any:
    """The float64 results for a contiguous float64 array, through the
    library's double entry: no Python work per value."""
    import numpy as np

    if f.check is not None:
        bad = (x > 0) if f.name == "ndtri_exp" else ~((x >= 0) & (x <= 1))
        bad &= ~np.isnan(x)
        if bad.any():
            i = int(np.argmax(bad))
            problem = "log_p = {!r} is above 0" if f.name == "ndtri_exp" else "p = {!r} is outside [0, 1]"
            raise ValueError(f"{where}: values[{i}]: " + problem.format(float(x[i])))
    y = np.empty_like(x)
    code = _library.MANY_CODES[f.name]
    x_addr, y_addr = x.ctypes.data, y.ctypes.data
    flag = 1 if upper else 0
    many: Callable[..., int] = _many_double  # type: ignore[assignment]  # the caller checked it is there

    def work(lo: int, hi: int) -> None:
        many(code, flag, hi - lo, x_addr + 8 * lo, y_addr + 8 * lo)

    _threads(len(x), workers, work)
    return y


def _flat(values: Any) -> Tuple[List[Any], Optional[Tuple[int, ...]]]:
    """The values as a list, and the shape when they came as an array."""
    shape = getattr(values, "shape", None)
    if shape is not None and hasattr(values, "ravel"):
        # tolist gives Python floats and ints, exact for the usual dtypes;
        # float32 and the like become float without loss.
        flat = values.ravel()
        if flat.dtype.kind in "fiub" and flat.dtype.itemsize <= 8:
            return flat.tolist(), tuple(shape)
        return list(flat), tuple(shape)
    return list(values), None


def _prepare_all(f: _Function, items: List[Any], upper: bool, first: int, where: str) -> List[bytes]:
    prepare = f.prepare
    try:
        return [prepare(x, upper) for x in items]
    except (BadArgument, TypeError):
        pass
    for i, x in enumerate(items):  # which one, to say so
        try:
            prepare(x, upper)
        except BadArgument as e:
            raise ValueError(f"{where}: values[{first + i}]: {e}") from None
        except TypeError as e:
            raise TypeError(f"{where}: values[{first + i}]: {e}") from None
    raise AssertionError("unreachable")  # pragma: no cover


# Values go through in chunks, so that the texts in between never take more
# memory than one chunk's.
_CHUNK = 1 << 16


def _many(f: _Function, values: Any, upper: bool, as_type: Any, workers: Optional[int]) -> Any:
    where = f.name + "_many"
    convert = result_converter(as_type)
    if f.entry is None:
        f.missing()
    if isinstance(values, (str, bytes)):
        raise TypeError(f"{where}: values must be a sequence, not one {type(values).__name__}")
    np: Any = None
    if as_type is float:
        try:
            import numpy as np
        except ImportError:  # then a list of floats
            pass
    if np is not None and _many_double is not None:
        # Doubles to doubles need no text: the library reads each exactly and
        # rounds each result to the nearest double.
        array = values if isinstance(values, np.ndarray) else None
        if array is None and isinstance(values, (list, tuple)) and all(type(v) is float for v in values):
            array = np.array(values, dtype=np.float64)
        if array is not None and array.dtype.kind == "f" and array.dtype.itemsize <= 8:
            x = np.ascontiguousarray(array, dtype=np.float64).ravel()
            y = _many_doubles(f, x, upper, _workers(x.size, workers), where)
            return y.reshape(array.shape)
    items, shape = _flat(values)
    n = len(items)
    flag = (1 if upper else 0) if f.flagged else None
    threads = _workers(n, workers)
    floats = np.empty(n, dtype=np.float64) if np is not None else None
    out: List[Any] = []
    for lo in range(0, n, _CHUNK):
        texts = _prepare_all(f, items[lo : lo + _CHUNK], upper, lo, where)
        raws = _evaluate(f, texts, flag, min(threads, len(texts)))
        if floats is not None:
            floats[lo : lo + len(raws)] = np.fromiter(map(float, raws), dtype=np.float64, count=len(raws))
        else:
            out.extend(map(convert, raws))
    if floats is not None:
        return floats.reshape(shape) if shape is not None else floats
    return out


_MANY_DOC = """{summary}

``values`` is any iterable of what ``{name}`` takes, or a NumPy array (a
float64 array gives each element's exact binary value). Returns a list of
``as_type`` in the order given (an array is read in C order), except for
``as_type=float``: then a NumPy float64 array, of the input's shape when the
input is an array (a list of floats where NumPy is missing).

Long inputs are split over ``workers`` threads (by default one per core
available, from {min_per} values per thread); each leaves the GIL while
the library works. A value that ``{name}`` would refuse raises ValueError
(TypeError for a type not taken) naming its index.

>>> {example}
"""


@overload
def ndtr_many(values: Iterable[Real], *, upper: bool = False, workers: Optional[int] = None) -> List[Decimal]: ...
@overload
def ndtr_many(  # type: ignore[misc]  # Type[float] is a Type[T] too: this one comes first
    values: Iterable[Real], *, upper: bool = False, as_type: Type[float], workers: Optional[int] = None
) -> "numpy.typing.NDArray[numpy.float64] | List[float]": ...
@overload
def ndtr_many(
    values: Iterable[Real], *, upper: bool = False, as_type: Type[T], workers: Optional[int] = None
) -> List[T]: ...
def ndtr_many(values: Any, *, upper: bool = False, as_type: Any = Decimal, workers: Optional[int] = None) -> Any:
    return _many(_NDTR, values, upper, as_type, workers)


@overload
def log_ndtr_many(
    values: Iterable[Real], *, upper: bool = False, workers: Optional[int] = None
) -> List[Decimal]: ...
@overload
def log_ndtr_many(  # type: ignore[misc]  # Type[float] is a Type[T] too: this one comes first
    values: Iterable[Real], *, upper: bool = False, as_type: Type[float], workers: Optional[int] = None
) -> "numpy.typing.NDArray[numpy.float64] | List[float]": ...
@overload
def log_ndtr_many(
    values: Iterable[Real], *, upper: bool = False, as_type: Type[T], workers: Optional[int] = None
) -> List[T]: ...
def log_ndtr_many(values: Any, *, upper: bool = False, as_type: Any = Decimal, workers: Optional[int] = None) -> Any:
    return _many(_LOG_NDTR, values, upper, as_type, workers)


@overload
def ndtri_many(values: Iterable[Real], *, upper: bool = False, workers: Optional[int] = None) -> List[Decimal]: ...
@overload
def ndtri_many(  # type: ignore[misc]  # Type[float] is a Type[T] too: this one comes first
    values: Iterable[Real], *, upper: bool = False, as_type: Type[float], workers: Optional[int] = None
) -> "numpy.typing.NDArray[numpy.float64] | List[float]": ...
@overload
def ndtri_many(
    values: Iterable[Real], *, upper: bool = False, as_type: Type[T], workers: Optional[int] = None
) -> List[T]: ...
def ndtri_many(values: Any, *, upper: bool = False, as_type: Any = Decimal, workers: Optional[int] = None) -> Any:
    return _many(_NDTRI, values, upper, as_type, workers)


@overload
def ndtri_exp_many(
    values: Iterable[Real], *, upper: bool = False, workers: Optional[int] = None
) -> List[Decimal]: ...
@overload
def ndtri_exp_many(  # type: ignore[misc]  # Type[float] is a Type[T] too: this one comes first
    values: Iterable[Real], *, upper: bool = False, as_type: Type[float], workers: Optional[int] = None
) -> "numpy.typing.NDArray[numpy.float64] | List[float]": ...
@overload
def ndtri_exp_many(
    values: Iterable[Real], *, upper: bool = False, as_type: Type[T], workers: Optional[int] = None
) -> List[T]: ...
def ndtri_exp_many(
    values: Any, *, upper: bool = False, as_type: Any = Decimal, workers: Optional[int] = None
) -> Any:
    return _many(_NDTRI_EXP, values, upper, as_type, workers)


ndtr_many.__doc__ = _MANY_DOC.format(
    summary="ndtr for each of values.",
    name="ndtr",
    min_per=_MIN_PER_WORKER,
    example="ndtr_many([-1, 0, '1'], as_type=float)\narray([0.15865525, 0.5       , 0.84134475])",
)
log_ndtr_many.__doc__ = _MANY_DOC.format(
    summary="log_ndtr for each of values.",
    name="log_ndtr",
    min_per=_MIN_PER_WORKER,
    example="[str(v)[:8] for v in log_ndtr_many(['-1', 0])]\n['-1.84102', '-0.69314']",
)
ndtri_many.__doc__ = _MANY_DOC.format(
    summary="ndtri for each of values.",
    name="ndtri",
    min_per=_MIN_PER_WORKER,
    example="ndtri_many(['0.025', '0.5', 1], as_type=str)[1:]\n['0', 'inf']",
)
ndtri_exp_many.__doc__ = _MANY_DOC.format(
    summary="ndtri_exp for each of values.",
    name="ndtri_exp",
    min_per=_MIN_PER_WORKER,
    example="ndtri_exp_many([-1000.0, 0], as_type=float)\narray([-44.61574773,          inf])",
)
