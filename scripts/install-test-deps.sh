#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs, as root on Debian 12, everything the test suite needs: MPFR (the
# oracle), Arb (benchmark peer), the MinGW-w64 cross compilers (i686 and
# x86_64), 32-bit and 64-bit Wine, g++ -m32 with qemu-user for running the
# 32-bit code without Wine, and qemu-system-i386 with cpio and zstd for
# running Wine in an emulated 32-bit machine where the kernel cannot run
# 32-bit code itself.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends \
  build-essential cmake pkg-config git \
  libgtest-dev libbenchmark-dev libmpfr-dev libgmp-dev libflint-arb-dev \
  clang-14 libclang-rt-14-dev valgrind \
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 wine32:i386 wine \
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 wine64 \
  gcc-multilib g++-multilib qemu-user-static \
  qemu-system-x86 cpio zstd \
  libbenchmark-dev:i386 libmpfr-dev:i386 libgmp-dev:i386 libflint-arb2:i386 libflint17:i386
