# zelq_maple.mpl: Phi(x), the standard normal distribution function, to more
# than 100 significant digits in Maple, from zelq.dll.
#
#   read "zelq_maple.mpl":
#   ZelqPhi(-1);          # 0.15865525393145705141476745436799...
#   ZelqPhiText("-1.5");  # "6.680720126885806600449404...e-2"
#
# zelq.dll is a 32-bit library: it needs a 32-bit Maple. Put zelq.dll and
# qfloat.dll together in one folder and set ZelqLibrary to the full path of
# zelq.dll (or start Maple in that folder).

ZelqLibrary := "zelq.dll":

# The 8-bit entry str_Zelq_str_Maple(x_str, y_str): reads x as text and writes
# Phi(x) as text into y_str, returning its length. The length of the text
# already in y_str asks for the capacity (at most 115), so y_str is passed as
# a string of 115 spaces; the library writes at most 114 characters and a NUL
# into it, and the result is the first n characters.
ZelqEntry := define_external('str_Zelq_str_Maple',
                             'x_str'::string[],
                             'y_str'::string[],
                             'RETURN'::integer[4],
                             'LIB' = ZelqLibrary):

# Phi(x) as the text the library writes, [-]d.ddd...e[-]N; "nan" for text
# that does not read as a number.
ZelqPhiText := proc(x)
    local buf, n;
    buf := cat(" " $ 115);
    n := ZelqEntry(convert(x, string), buf);
    return substring(buf, 1 .. n);
end proc:

# Phi(x) as a Maple float with 110 digits. The argument goes over as text:
# exact rationals and floats alike are written with enough digits first.
ZelqPhi := proc(x)
    local xs, t;
    if type(x, string) then
        xs := x;
    else
        xs := sprintf("%.120e", evalf[130](x));
    end if;
    t := ZelqPhiText(xs);
    if t = "nan" then
        return Float(undefined);
    end if;
    return evalf[110](parse(t));
end proc:

Digits := 110:
