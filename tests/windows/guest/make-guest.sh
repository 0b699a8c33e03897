#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds a small 32-bit x86 Linux machine that runs Wine, for hosts whose
# kernel cannot execute 32-bit code (qemu-system-i386 emulates the whole
# machine in software, so nothing here depends on the host CPU's modes).
#
#   make-guest.sh OUT    writes OUT/vmlinuz and OUT/rootfs.cpio.zst, or
#                        keeps them if nothing they are made from changed
#
# The guest's user space is the host's own installation of wine32:i386 and
# the i386 libraries it depends on (copied file by file from dpkg's lists,
# so the guest runs exactly the Wine the host installed), plus a static
# i386 busybox for /init and Debian's i386 kernel. Everything lives in the
# initramfs: no disk image, no kernel modules, nothing mounted on the host.
set -euo pipefail
out=${1:?usage: make-guest.sh OUT}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d "$out/work.XXXXXX")
trap 'rm -rf "$work"' EXIT

installed() { dpkg-query -W -f '${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^ii'; }
installed wine32:i386 || { echo "make-guest: wine32:i386 is not installed" >&2; exit 1; }

kernel_pkg=$(apt-cache depends linux-image-686-pae:i386 |
  awk '$1 == "Depends:" && $2 ~ /^linux-image-/ {print $2; exit}')

# A guest built by the same scripts while the same packages were installed
# is kept (the whole list is one quick query; its Wine part is not).
stamp=$({
  dpkg-query -W -f '${binary:Package}=${Version}\n'
  apt-cache policy "$kernel_pkg" busybox-static:i386 | grep Candidate:
  cat "$here/make-guest.sh" "$here/init"
} | cksum)
if [ -f "$out/rootfs.cpio.zst" ] && [ -f "$out/vmlinuz" ] &&
  [ "$(cat "$out/stamp" 2>/dev/null)" = "$stamp" ]; then
  echo "guest in $out is up to date"
  exit 0
fi
rm -f "$out/stamp"

# wine32:i386 and everything it depends on, as dpkg installed it on this
# host: i386 libraries and the architecture-independent parts (zlib1.dll
# for Wine's PE side, among others). Documentation is left out.
declare -A seen=()
queue=(wine32:i386)
while [ ${#queue[@]} -gt 0 ]; do
  pkg=${queue[0]}
  queue=("${queue[@]:1}")
  [ -n "${seen[$pkg]:-}" ] && continue
  seen[$pkg]=1
  for dep in $(dpkg-query -W -f '${Depends}, ${Pre-Depends}' "$pkg" |
    sed -e 's/([^)]*)//g' -e 's/:any//g' -e 's/[,|]/ /g'); do
    for candidate in "$dep:i386" "$dep"; do
      if installed "$candidate"; then
        case $(dpkg-query -W -f '${Architecture}' "$candidate") in
        i386 | all) queue+=("$candidate") ;;
        esac
        break
      fi
    done
  done
done

# Debian's i386 kernel and static busybox, fetched but not installed.
(cd "$work" && apt-get download -q -o APT::Sandbox::User=root \
  "$kernel_pkg" busybox-static:i386 >/dev/null)
dpkg-deb -x "$work"/linux-image-*.deb "$work/kernel"
cp "$work"/kernel/boot/vmlinuz-* "$out/vmlinuz.new"
dpkg-deb -x "$work"/busybox-static_*.deb "$work/busybox"

root=$work/root
mkdir -p "$root"/{usr/bin,usr/sbin,usr/lib,etc,proc,sys,dev,tmp,root,zelq}
for d in bin sbin lib; do ln -s "usr/$d" "$root/$d"; done
cp "$work"/busybox/bin/busybox "$root/usr/bin/busybox"
ln -s busybox "$root/usr/bin/sh"

printf '%s\n' "${!seen[@]}" | xargs dpkg -L |
  grep -Ev '^/usr/share/(doc|man|info|lintian|bug|locale)/' |
  while IFS= read -r f; do
    if [ -L "$f" ] || { [ -e "$f" ] && [ ! -d "$f" ]; }; then printf '%s\n' "${f#/}"; fi
  done >"$work/files"
# What install scripts made rather than unpacked: libwine's copy of
# zlib1.dll in Wine's own folder, and fontconfig's configuration.
for dir in /usr/lib/i386-linux-gnu/wine /etc/fonts; do
  if [ -d "$dir" ]; then find "$dir" ! -type d | sed 's|^/||'; fi
done >>"$work/files"
sort -u -o "$work/files" "$work/files"
echo "make-guest: ${#seen[@]} packages, $(wc -l <"$work/files") files"
tar -C / --no-recursion -cf - -T "$work/files" |
  tar -C "$root" --keep-directory-symlink -xf -

# Wine's PE libraries carry their DWARF; without it the initramfs is a
# third of the size (the "Wine builtin DLL" mark in the header is kept).
find "$root/usr/lib/i386-linux-gnu/wine/i386-windows" -type f \
  -exec i686-w64-mingw32-strip --strip-debug {} + 2>/dev/null || true

printf 'root:x:0:0:root:/root:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\n' >"$root/etc/group"
install -m 755 "$here/init" "$root/init"

(cd "$root" && find . -mindepth 1 | LC_ALL=C sort | cpio -o -H newc --quiet) |
  zstd -q -T0 -3 -o "$out/rootfs.cpio.zst.new"
# The kernel finds a further archive appended to this one (the programs to
# run) only at an aligned offset; zeros in between are skipped.
truncate -s %512 "$out/rootfs.cpio.zst.new"
mv "$out/rootfs.cpio.zst.new" "$out/rootfs.cpio.zst"
mv "$out/vmlinuz.new" "$out/vmlinuz"
echo "$stamp" >"$out/stamp"
echo "guest ready in $out: $(du -h "$out/rootfs.cpio.zst" | cut -f1) initramfs, kernel $kernel_pkg"
