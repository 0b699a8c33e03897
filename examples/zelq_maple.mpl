# SPDX-License-Identifier: MIT
# zelq_maple.mpl: Phi(x), the standard normal distribution function, to more
# than 100 significant digits in Maple, from zelq.dll.
#
#   ZelqFolder := "C:\\zelq\\win64":   # the folder of zelq.dll and qfloat.dll
#   read "C:/zelq/zelq_maple.mpl":
#   ZelqPhi(-1);          # 0.15865525393145705141476745436796207752208703...
#   ZelqPhiText("-1.5");  # "6.680720126885806600449404097988607952289518...e-2"
#
# 64-bit Maple (every current release) needs the DLLs of win64\; a 32-bit
# Maple needs those of win32\ and is otherwise served by the same script:
# the only difference is the size of a module handle, which the script
# takes from kernelopts(wordsize), and the entries' calling convention
# (standard call on 32-bit Windows), which define_external uses there by
# default.
#
# Windows searches for the DLLs that a DLL imports (zelq.dll imports
# qfloat.dll) by module name - Maple's own folder, the system folders, the
# current folder, PATH - and never in the folder of the importing DLL. So
# the script loads qfloat.dll by its full path first (kernel32's
# LoadLibraryA), and then binds str_Zelq_str_Maple from zelq.dll by its full
# path: nothing depends on the current folder or on PATH.

if not assigned(ZelqFolder) then
    error "set ZelqFolder to the folder of zelq.dll and qfloat.dll, e.g. ZelqFolder := \"C:\\\\zelq\\\\win64\"";
end if:

ZelqPath := proc(file)
    # Windows paths take backslashes.
    cat(StringTools:-SubstituteAll(ZelqFolder, "/", "\\"), "\\", file);
end proc:

ZelqLoadLibrary := define_external('LoadLibraryA', 'lpLibFileName'::string,
                                   'RETURN'::integer[kernelopts(wordsize)/8],
                                   'LIB' = "kernel32.dll"):
if ZelqLoadLibrary(ZelqPath("qfloat.dll")) = 0 then
    error "cannot load %1 (a %2-bit qfloat.dll is needed)", ZelqPath("qfloat.dll"), kernelopts(wordsize);
end if:

# The 8-bit entry str_Zelq_str_Maple(x_str, y_str): reads x as text and
# writes Phi(x) as text into y_str, returning its length. The length of the
# text already in y_str sets the room for the result (at most 115
# characters), so y_str is passed as a string of 115 spaces and the result is
# its first n characters.
ZelqEntry := define_external('str_Zelq_str_Maple',
                             'x_str'::string[],
                             'y_str'::string[],
                             'RETURN'::integer[4],
                             'LIB' = ZelqPath("zelq.dll")):

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
