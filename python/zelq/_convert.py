# SPDX-License-Identifier: MIT
"""Arguments to the library's decimal text, and its result text back.

An argument becomes the exact decimal text of its value, so that every type
holding the same number hands the library the same number (a float is its
binary value, not its shortest repr). The library reads that text to the
nearest 352-bit value itself.
"""

from __future__ import annotations

import functools
import math
import numbers
import operator
import sys
from decimal import MAX_PREC, Context, Decimal, InvalidOperation
from typing import Any, Callable

# Reads any string Decimal accepts and raises (never answers NaN) on the
# rest, whatever the caller's own decimal context traps.
_READ = Context(prec=MAX_PREC, traps=[InvalidOperation])

# Binary magnitudes (bits) within which a dyadic value is written out in
# full: the number type spans about 2^-33119 .. 2^32766, so past this a few
# hundred digits say all the library can use, and the full expansion would
# run to millions of digits.
_EXACT_BITS = 34000
_SHORT_DIGITS = 130

NAN = b"nan"


class BadArgument(ValueError):
    """Raised with a message that the caller prefixes with its own name."""


def _dyadic(neg: bool, man: int, exp: int) -> bytes:
    """Exact text of (-1)^neg * man * 2^exp, man > 0."""
    sign = "-" if neg else ""
    if exp >= 0:
        return f"{sign}{Decimal(man << exp)}".encode()
    # man / 2^k = man * 5^k / 10^k; Decimal(int) skips int's digit limit.
    return f"{sign}{Decimal(man * 5 ** -exp)}e{exp}".encode()


def _rounded(neg: bool, man: int, exp: int, n: int) -> bytes:
    """(-1)^neg * man * 2^exp, man > 0, correctly rounded to n digits."""
    e10 = math.floor((exp + man.bit_length() - 1) * _LOG10_2)  # the true one or one below
    top = _pow10(n)
    while True:
        s = n - 1 - e10
        if exp < 0 and s >= 0:  # the common case: a shift, not a division
            num = man * _pow10(s)
            q = num >> -exp
            r2, den = (num - (q << -exp)) << 1, 1 << -exp
        else:
            num, den = man, 1
            if exp >= 0:
                num <<= exp
            else:
                den <<= -exp
            if s >= 0:
                num *= _pow10(s)
            else:
                den *= _pow10(-s)
            q, r = divmod(num, den)
            r2 = r << 1
        if q < top:
            break
        e10 += 1
    if r2 > den or (r2 == den and q & 1):
        q += 1
        if q == top:
            q //= 10
            e10 += 1
    d = str(q)
    return f"{'-' if neg else ''}{d[0]}.{d[1:]}e{e10}".encode()


_LOG10_2 = math.log10(2)
_LOG10_5 = math.log10(5)
# Results and arguments repeat their decimal exponents, and 10^k for the far
# tail's k ~ 2000 costs more than the rest of a conversion.
@functools.lru_cache(maxsize=512)
def _pow10(k: int) -> int:
    p: int = 10**k
    return p
# Normal range of the number type (2^-32768 .. 2^32766), with room to spare.
_NORMAL_BITS = 32700
# With at least 107 significant digits a text reads back to the same 352-bit
# value; 112 leave a margin.
_ROUND_TRIP_DIGITS = 112


def _mpf_text(x: Any) -> bytes:
    import mpmath

    lm = mpmath.libmp
    sign, man, exp, bc = x._mpf_
    if not man:
        if x._mpf_ == lm.fzero:
            return b"0"
        return NAN if x._mpf_ == lm.fnan else (b"-inf" if sign else b"inf")
    mag = exp + bc
    if -_NORMAL_BITS < mag < _NORMAL_BITS:
        # Where the number type has all its bits, rounding the binary value to
        # 352 bits here is exactly what reading its full expansion would do,
        # and a text of 112 correct digits stands for the result: much shorter
        # than the expansion (hundreds of digits at 110-digit precision).
        if bc > 352:
            sign, man, exp, bc = lm.mpf_pos(x._mpf_, 352, lm.round_nearest)
        # digits of the exact expansion: man * 2^exp, or man * 5^-exp
        exact_digits = (exp + bc) * _LOG10_2 if exp >= 0 else bc * _LOG10_2 - exp * _LOG10_5
        if exact_digits < _ROUND_TRIP_DIGITS:  # "-1" rather than "-1.000...0e0"
            return _dyadic(bool(sign), int(man), int(exp))
        return _rounded(bool(sign), int(man), int(exp), _ROUND_TRIP_DIGITS)
    if abs(mag) > _EXACT_BITS:
        # Far outside the number type's range: enough digits for the library's
        # paths that work from the decimal exponent (p below 1e-9970, say).
        return str(lm.to_str(x._mpf_, _SHORT_DIGITS)).encode()
    return _dyadic(bool(sign), int(man), int(exp))


def _other_text(x: Any) -> bytes:
    """The types past the common four: subclasses, NumPy scalars, mpf."""
    if isinstance(x, str):
        return text_of(str(x))
    if isinstance(x, Decimal):
        return text_of(Decimal(x))
    if isinstance(x, float):
        return text_of(float(x))
    if hasattr(x, "_mpf_"):
        return _mpf_text(x)
    if isinstance(x, numbers.Integral):
        return text_of(operator.index(x))
    if isinstance(x, numbers.Real) and hasattr(x, "as_integer_ratio"):
        # NumPy's float16/32/longdouble: binary values, taken exactly.
        f = float(x)
        if math.isnan(f):
            return NAN
        if math.isinf(f):
            return b"-inf" if f < 0 else b"inf"
        num, den = x.as_integer_ratio()
        if den & (den - 1) == 0:
            if num == 0:
                return b"-0" if math.copysign(1.0, f) < 0 else b"0"
            return _dyadic(num < 0, abs(num), 1 - den.bit_length())
        raise BadArgument(f"{x!r} has no finite decimal expansion; pass it as a Decimal or str")
    raise TypeError(f"cannot take a {type(x).__name__}: pass a str, int, float, Decimal or mpmath.mpf")


def text_of(x: Any) -> bytes:
    """The exact decimal text of x (b"nan" for any NaN).

    Raises BadArgument for a str that does not read as a number, TypeError
    for a type that is not taken.
    """
    t = type(x)
    if t is str:
        try:
            d = Decimal(x, _READ)
        except InvalidOperation:
            raise BadArgument(f"cannot read {x!r} as a number") from None
    elif t is float or t is int or t is Decimal:
        d = Decimal(x)  # exact for all three
    else:
        return _other_text(x)
    if d.is_nan():
        return NAN
    return str(d).encode()


def negated(text: bytes) -> bytes:
    """-x as text: exact, and NaN stays NaN."""
    if text == NAN:
        return text
    return text[1:] if text[:1] == b"-" else b"-" + text


def value_of(text: bytes) -> Decimal:
    """The value of a text made by text_of, for domain checks."""
    return Decimal(text.decode(), _READ)


@functools.lru_cache(maxsize=512)
def _pow10_mpz(k: int) -> Any:
    import mpmath

    return mpmath.libmp.MPZ(10) ** k


def _to_mpf(raw: bytes) -> Any:
    import mpmath

    text = raw.decode()
    if text in ("inf", "-inf", "nan"):
        return mpmath.mpf(text)
    mant, _, e = text.partition("e")
    neg = mant.startswith("-")
    digits = mant.lstrip("-").replace(".", "")
    lm = mpmath.libmp
    man = lm.MPZ(digits)
    exp10 = int(e or 0) - (len(digits) - 1)
    # The text has digits enough to stand for one 352-bit value: rounded to
    # 352 bits it gives that value back exactly, whatever the caller's
    # working precision.
    if exp10 >= 0:
        v = lm.from_int(man * _pow10_mpz(exp10), 352, lm.round_nearest)
    else:
        # at least 354 quotient bits, and one more that says whether
        # anything was left over: enough to round to nearest correctly
        d = _pow10_mpz(-exp10)
        shift = 354 + d.bit_length() - man.bit_length()
        q, rest = divmod(man << shift, d)
        v = lm.from_man_exp((q << 1) | (rest != 0), -shift - 1, 352, lm.round_nearest)
    return mpmath.mp.make_mpf(lm.mpf_neg(v) if neg else v)


def _to_decimal(raw: bytes) -> Decimal:
    return Decimal(raw.decode())


def _to_str(raw: bytes) -> str:
    return raw.decode()


def result_converter(as_type: Any) -> Callable[[bytes], Any]:
    """bytes -> as_type for a result text; TypeError for a type not offered."""
    if as_type is Decimal:
        return _to_decimal
    if as_type is str:
        return _to_str
    if as_type is float:
        return float
    mp = sys.modules.get("mpmath")  # as_type can be mpmath.mpf only once mpmath is loaded
    if mp is not None and as_type is mp.mpf:
        return _to_mpf
    raise TypeError(f"as_type must be str, decimal.Decimal, float or mpmath.mpf, not {as_type!r}")


