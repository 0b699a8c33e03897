# SPDX-License-Identifier: MIT
# zelq_maple.mpl: the standard normal distribution to more than 100
# significant digits in Maple, from zelq.dll: Phi(x), its inverse and their
# logarithms.
#
#   ZelqFolder := "C:\\zelq":    # the folder of zelq.dll and qfloat.dll
#   read "C:/zelq/zelq_maple.mpl":
#   ZelqPhi(-1);           # 0.15865525393145705141476745436796207752208703...
#   ZelqPhiText("-1.5");   # "6.680720126885806600449404097988607952289518...e-2"
#   ZelqInv(0.025);        # -1.9599639845400542355245944305205515279555500...
#   ZelqInvUpper(1e-300);  # the z with 1 - Phi(z) = 1e-300
#   ZelqLogPhi(-40);       # ln Phi(-40) = -804.60844201375378816660683291860...
#   ZelqInvLogP(-1000);    # the z with ln Phi(z) = -1000
#
# Results are floats of 110 digits (arithmetic on them follows your Digits;
# Digits := 110 keeps them all); Float(undefined) where the DLL answers
# "nan" (unreadable or outside the domain), -infinity and infinity at the
# ends. ln(1 - Phi(x)) is ZelqLogPhi(-x).
#
# 64-bit Maple (every current release) needs the DLLs of win64\; a 32-bit
# Maple needs those of win32\ and is otherwise served by the same script:
# the size of a module handle comes from kernelopts(wordsize), and on 32-bit
# Windows define_external calls with the standard-call convention that the
# entries and LoadLibraryW use.
#
# Windows searches for the DLLs that a DLL imports (zelq.dll imports
# qfloat.dll) by module name - Maple's own folder, the system folders, the
# current folder, PATH - and never in the folder of the importing DLL. So the
# script loads qfloat.dll and then zelq.dll by their full paths with
# kernel32's LoadLibraryW, and binds the entries from "zelq.dll" by name,
# which finds the module loaded: nothing depends on the current folder or on
# PATH. LoadLibraryW takes the path as UTF-16, so a folder name in any script
# passes unchanged (the ANSI form would see it through the code page).

if not assigned(ZelqFolder) then
    error "set ZelqFolder to the folder of zelq.dll and qfloat.dll, e.g. ZelqFolder := \"C:\\\\zelq\"";
end if:

# s as NUL-terminated UTF-16 for a wide Windows function. Maple keeps
# strings as UTF-8 bytes; integer[2] holds a unit above 0x7FFF as its
# negative two's complement, the same two bytes.
ZelqWide := proc(s::string)
    local b, i, u, units;
    b := convert(s, bytes);
    units := NULL;
    i := 1;
    while i <= nops(b) do
        if b[i] < 128 then
            u := b[i]; i := i + 1;
        elif b[i] < 224 then
            u := (b[i] - 192) * 64 + b[i + 1] - 128; i := i + 2;
        elif b[i] < 240 then
            u := ((b[i] - 224) * 64 + b[i + 1] - 128) * 64 + b[i + 2] - 128; i := i + 3;
        else
            u := (((b[i] - 240) * 64 + b[i + 1] - 128) * 64 + b[i + 2] - 128) * 64 + b[i + 3] - 128; i := i + 4;
        end if;
        if u < 65536 then
            units := units, u;
        else
            units := units, 55296 + iquo(u - 65536, 1024), 56320 + irem(u - 65536, 1024);
        end if;
    end do;
    Array(map(v -> `if`(v > 32767, v - 65536, v), [units, 0]), datatype = integer[2]);
end proc:

# The folder with one trailing backslash, as Windows writes paths.
ZelqDir := StringTools:-SubstituteAll(ZelqFolder, "/", "\\"):
if ZelqDir = "" or ZelqDir[-1] <> "\\" then ZelqDir := cat(ZelqDir, "\\") end if:

ZelqLoadLibrary := define_external('LoadLibraryW', 'lpLibFileName'::ARRAY(datatype = integer[2]),
                                   'RETURN'::integer[kernelopts(wordsize) / 8], 'LIB' = "kernel32.dll"):
for ZelqFile in ["qfloat.dll", "zelq.dll"] do
    if ZelqLoadLibrary(ZelqWide(cat(ZelqDir, ZelqFile))) = 0 then
        error "cannot load %1: it must be there, beside qfloat.dll, and be a %2-bit DLL",
              cat(ZelqDir, ZelqFile), kernelopts(wordsize);
    end if;
end do:

# The 8-bit entries read x_str and write their result into y_str: the length
# L of the text already in y_str sets the room, at most min(L, 115)
# characters and a NUL. A Maple string cannot take the result: it is
# immutable and may be shared by every equal string in the session. So y_str
# is an Array of bytes (115 spaces and a NUL), which define_external hands
# over as a pointer to its own data, and the result is its first n bytes.
# ZelqBind binds one entry, with the upper flag as the third argument of
# those that have one; an entry that this zelq.dll lacks becomes a
# procedure that says so when it is called.
ZelqBind := proc(entry::name, has_upper::truefalse)
    local f;
    try
        if has_upper then
            f := define_external(entry, 'x_str'::string, 'y_str'::ARRAY(datatype = integer[1]),
                                 'upper'::integer[4], 'RETURN'::integer[4], 'LIB' = "zelq.dll");
        else
            f := define_external(entry, 'x_str'::string, 'y_str'::ARRAY(datatype = integer[1]),
                                 'RETURN'::integer[4], 'LIB' = "zelq.dll");
        end if;
    catch:
        return proc() error "this zelq.dll has no %1: take the DLLs that came with this script", entry end proc;
    end try;
    if has_upper then f else (x_str, y_str, upper) -> f(x_str, y_str) end if;
end proc:

ZelqEntry := table(["Phi" = ZelqBind('str_Zelq_str_Maple', false), "Inv" = ZelqBind('ndtri_Maple', true),
                    "InvLogP" = ZelqBind('ndtri_exp_Maple', true), "LogPhi" = ZelqBind('log_ndtr_Maple', true)]):

# The text that entry writes for x (a string as it is; a number written with
# 120 significant digits first, exact rationals too).
ZelqText := proc(entry::string, x, upper::integer)
    local xs, buf, n, i;
    xs := `if`(type(x, string), x, sprintf("%.120e", evalf[130](x)));
    buf := Array(1 .. 116, fill = 32, datatype = integer[1]);
    buf[116] := 0;
    n := ZelqEntry[entry](xs, buf, upper);
    convert([seq(buf[i], i = 1 .. n)], bytes);
end proc:

# A result text as a Maple value.
ZelqValue := proc(t::string)
    if t = "nan" then Float(undefined)
    elif t = "inf" then infinity
    elif t = "-inf" then -infinity
    else evalf[110](parse(t))
    end if;
end proc:

ZelqPhiText := x -> ZelqText("Phi", x, 0):
ZelqPhi := x -> ZelqValue(ZelqText("Phi", x, 0)):
ZelqInv := p -> ZelqValue(ZelqText("Inv", p, 0)):
ZelqInvUpper := q -> ZelqValue(ZelqText("Inv", q, 1)):
ZelqLogPhi := x -> ZelqValue(ZelqText("LogPhi", x, 0)):
ZelqInvLogP := L -> ZelqValue(ZelqText("InvLogP", L, 0)):
