#!/usr/bin/env bash
# Cross-builds the static i686 libpng and libjpeg-turbo that Orvessa.exe links, from Debian's
# source packages at the versions Debian 12 serves. The result is cached outside the tree
# (ORVESSA_DEPS_CACHE) and reused while its stamp matches the pinned versions, the compiler
# and the toolchain file (whose flags the libraries are built with too).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
PNG_VERSION=1.6.39-2+deb12u5
JPEG_VERSION=1:2.1.5-2
cache=${ORVESSA_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-deps}
toolchain=$here/../cmake/toolchain-mingw-i686.cmake
stamp_text="patched libpng1.6=$PNG_VERSION libjpeg-turbo=$JPEG_VERSION toolchain=$(i686-w64-mingw32-gcc -dumpversion) $(sha256sum <"$toolchain" | cut -c1-16)"
prefix=$cache/i686

if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp_text" ]; then
    echo "build-deps: cached in $prefix"
    exit 0
fi

rm -rf "$cache/src" "$prefix"
mkdir -p "$cache/src" "$prefix"
cd "$cache/src"
apt-get source -q --download-only "libpng1.6=$PNG_VERSION" "libjpeg-turbo=$JPEG_VERSION"
for dsc in *.dsc; do dpkg-source -x "$dsc" >/dev/null; done

jobs=$(nproc)

# libjpeg-turbo keeps the 6b interface by default; its SIMD code needs nasm.
cmake -S libjpeg-turbo-2.1.5 -B build-jpeg -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF \
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF >/dev/null
cmake --build build-jpeg -j "$jobs" --target install >/dev/null

cmake -S libpng1.6-1.6.39 -B build-png -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON >/dev/null
cmake --build build-png -j "$jobs" --target install >/dev/null

# Licence texts travel with the program.
mkdir -p "$prefix/licenses"
cp libjpeg-turbo-2.1.5/LICENSE.md "$prefix/licenses/libjpeg-turbo.LICENSE.md"
cp libjpeg-turbo-2.1.5/README.ijg "$prefix/licenses/libjpeg-turbo.README.ijg"
cp libpng1.6-1.6.39/LICENSE "$prefix/licenses/libpng.LICENSE"

rm -rf "$cache/src"
echo "$stamp_text" >"$prefix/.stamp"
echo "build-deps: built into $prefix"
