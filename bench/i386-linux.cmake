# 32-bit x86 Linux programs from an x86-64 Debian host: g++ -m32 (g++-multilib)
# against the i386 multiarch libraries of Debian's :i386 packages. Used by the
# bench32 preset, so that the benchmarks measure the code that the 32-bit DLL
# runs (no 128-bit integers, 32-bit limbs in GMP, MPFR and FLINT).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# pkg-config (MPFR) must see only the i386 .pc files.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
