#!/usr/bin/env bash
# Cross-builds the static i686 dav1d (the AV1 decoder behind AVIF) from Debian's source package,
# as build-deps.sh builds the other libraries, into a folder of its own beside theirs
# (ORVESSA_DEPS_CACHE/avif/i686) with a stamp of its own. It is a separate part on purpose:
# adding it, or changing it later, never rebuilds or wipes the libraries build-deps.sh caches,
# and build-deps.sh rebuilding its own never touches this one. The upstream version is pinned;
# the Debian revision is whichever the archive serves, and is recorded in the stamp and the
# notices. The container (ISO BMFF) and the colour conversion are the program's own code
# (services/picture/Avif.cpp): Debian's archive here does not serve libavif's source.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
DAV1D_UPSTREAM=1.0.0
cache=${ORVESSA_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-deps}
toolchain=$here/../cmake/toolchain-mingw-i686.cmake
part=$cache/avif
prefix=$part/i686

# shellcheck source=debian-source.sh
. "$here/debian-source.sh"
dav1d_version=$(orvessa_source_version dav1d "$DAV1D_UPSTREAM")

inputs=$(cat "$0" "$toolchain" | sha256sum | cut -c1-16)
stamp_text="dav1d=$dav1d_version mingw=$(i686-w64-mingw32-gcc -dumpversion)"
stamp_text="$stamp_text meson=$(meson --version) $inputs"

if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp_text" ]; then
    echo "build-deps-avif: cached in $part"
    sed 's/^/build-deps-avif: /' "$prefix/licenses/SOURCES"
    exit 0
fi

rm -rf "$part"
mkdir -p "$part/src" "$prefix"
cd "$part/src"
apt-get source -q --download-only "dav1d=$dav1d_version"
for dsc in *.dsc; do dpkg-source -x "$dsc" >/dev/null; done
src=$part/src/dav1d-$DAV1D_UPSTREAM

# The toolchain file's compilers and flags, for meson. dav1d realigns the stack itself where
# its SIMD code needs it, since Windows calls us with a 4-byte aligned stack.
cat >cross.txt <<CROSS
[binaries]
c = 'i686-w64-mingw32-gcc'
ar = 'i686-w64-mingw32-ar'
strip = 'i686-w64-mingw32-strip'
windres = 'i686-w64-mingw32-windres'
nasm = 'nasm'

[built-in options]
c_args = ['-msse2', '-mincoming-stack-boundary=2']

[host_machine]
system = 'windows'
cpu_family = 'x86'
cpu = 'i686'
endian = 'little'
CROSS

# 8-bit and high bit depth (10 and 12) with the SIMD code; the library alone.
meson setup build-dav1d "$src" --cross-file cross.txt --prefix "$prefix" --libdir lib \
    --buildtype release -Ddefault_library=static -Dbitdepths=8,16 -Denable_asm=true \
    -Denable_tools=false -Denable_examples=false -Denable_tests=false -Denable_docs=false \
    -Dlogging=false >/dev/null
ninja -C build-dav1d -j "$(nproc)" install >/dev/null

mkdir -p "$prefix/licenses"
cp "$src/COPYING" "$prefix/licenses/dav1d.COPYING"
echo "dav1d $dav1d_version" >"$prefix/licenses/SOURCES"

cd "$part"
rm -rf "$part/src"
echo "$stamp_text" >"$prefix/.stamp"
echo "build-deps-avif: built into $part from Debian's source package:"
sed 's/^/build-deps-avif: /' "$prefix/licenses/SOURCES"
