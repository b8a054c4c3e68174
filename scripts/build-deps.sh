#!/usr/bin/env bash
# Cross-builds the static i686 libpng, libjpeg-turbo and libwebp that Orvessa.exe links, from
# Debian's source packages, and builds the same libpng natively for the native tests. The
# upstream versions are pinned; the Debian revision is whichever the archive serves (point
# releases replace it), and is recorded in the stamp, in THIRD-PARTY-NOTICES.txt and below.
# The result is cached outside the tree (ORVESSA_DEPS_CACHE) and reused while its stamp
# matches the served revisions, our patches, the compilers and the toolchain file (whose
# flags the libraries are built with too).
#
# libpng is checked against upstream 1.6.39 on libpng's own PNG suite and test pictures,
# byte for byte in every output format of the simplified reader. Where Debian's build differs,
# the patch in scripts/libpng/ that repairs the known fault is applied and the check repeated;
# a difference that remains stops the build. So the patch follows the fault, not a revision
# string, and a Debian fix of the same fault simply leaves it out.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
PNG_UPSTREAM=1.6.39
JPEG_UPSTREAM=2.1.5
WEBP_UPSTREAM=1.2.4
png_patch=$here/libpng/interlaced-scaled-rows.patch
cache=${ORVESSA_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-deps}
toolchain=$here/../cmake/toolchain-mingw-i686.cmake
prefix=$cache/i686
native=$cache/native

# shellcheck source=debian-source.sh
. "$here/debian-source.sh"
png_version=$(orvessa_source_version libpng1.6 "$PNG_UPSTREAM")
jpeg_version=$(orvessa_source_version libjpeg-turbo "$JPEG_UPSTREAM")
webp_version=$(orvessa_source_version libwebp "$WEBP_UPSTREAM")

inputs=$(cat "$0" "$toolchain" "$here"/libpng/* | sha256sum | cut -c1-16)
stamp_text="libpng1.6=$png_version libjpeg-turbo=$jpeg_version libwebp=$webp_version"
stamp_text="$stamp_text mingw=$(i686-w64-mingw32-gcc -dumpversion) cc=$(cc -dumpversion) $inputs"

if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp_text" ] &&
    [ -f "$native/.stamp" ] && [ "$(cat "$native/.stamp")" = "$stamp_text" ]; then
    echo "build-deps: cached in $cache"
    sed 's/^/build-deps: /' "$prefix/licenses/SOURCES"
    exit 0
fi

rm -rf "$cache/src" "$prefix" "$native"
mkdir -p "$cache/src" "$prefix" "$native"
cd "$cache/src"
apt-get source -q --download-only "libpng1.6=$png_version" "libjpeg-turbo=$jpeg_version" \
    "libwebp=$webp_version"
for dsc in *.dsc; do dpkg-source -x "$dsc" >/dev/null; done
png_src=$cache/src/libpng1.6-$PNG_UPSTREAM
mkdir upstream-png
tar -xzf "libpng1.6_$PNG_UPSTREAM.orig.tar.gz" -C upstream-png --strip-components=1

jobs=$(nproc)

# --- libpng, natively: the check, and the library the native tests link ------------------
# Static and position-independent, so the sanitizer builds can link it.
build_native_png() {
    local src=$1 out=$2
    rm -rf "$cache/src/build-native-png"
    cmake -S "$src" -B "$cache/src/build-native-png" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$out" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
        -DCMAKE_POSITION_INDEPENDENT_CODE=ON >/dev/null
    cmake --build "$cache/src/build-native-png" -j "$jobs" --target install >/dev/null
    cc -O2 -o "$out/suite-decode" "$here/libpng/suite-decode.c" -I"$out/include" \
        "$out/lib/libpng16.a" -lz -lm
}

# Every picture both packages ship to be read (the file names are the same in both trees),
# less the decodes in which Debian rightly differs (listed with the reason).
differences=$here/libpng/suite-differences.txt
suite_hashes() {
    local src=$1 out=$2
    (cd "$src/contrib" && "$out/suite-decode" pngsuite/*.png pngsuite/interlaced/*.png testpngs/*.png) |
        grep -v -F -f <(sed -n 's/^\([^#].*\)/\1 /p' "$differences")
}

build_native_png "$cache/src/upstream-png" "$cache/src/upstream-prefix"
suite_hashes "$cache/src/upstream-png" "$cache/src/upstream-prefix" >reference.txt
build_native_png "$png_src" "$native"
suite_hashes "$png_src" "$native" >debian.txt
png_patched=no
if ! cmp -s reference.txt debian.txt; then
    echo "build-deps: Debian's libpng decodes the PNG suite differently from upstream $PNG_UPSTREAM:"
    { diff reference.txt debian.txt || true; } | awk '/^> / && n++ < 20 {print "build-deps:   " substr($0, 3)}'
    echo "build-deps: applying $(basename "$png_patch")"
    patch -d "$png_src" -p1 --quiet <"$png_patch"
    build_native_png "$png_src" "$native"
    suite_hashes "$png_src" "$native" >patched.txt
    if ! cmp -s reference.txt patched.txt; then
        echo "build-deps: with the patch libpng still differs from upstream on:" >&2
        { diff reference.txt patched.txt || true; } | sed -n 's/^> /build-deps:   /p' >&2
        exit 1
    fi
    png_patched=yes
fi
# The native tests read libpng's own test pictures.
mkdir -p "$native/share/libpng"
cp -r "$png_src/contrib/pngsuite" "$png_src/contrib/testpngs" "$native/share/libpng/"
echo "build-deps: libpng decodes $(wc -l <reference.txt) suite cases byte for byte as upstream does" \
    "($(grep -c '^[^#]' "$differences") listed differences left out)"
rm -f "$native/suite-decode"

# --- the i686 libraries -------------------------------------------------------------------
cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix")

# libjpeg-turbo keeps the 6b interface by default; its SIMD code needs nasm.
cmake -S "libjpeg-turbo-$JPEG_UPSTREAM" -B build-jpeg "${cross[@]}" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF \
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF >/dev/null
cmake --build build-jpeg -j "$jobs" --target install >/dev/null

cmake -S "$png_src" -B build-png "${cross[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON >/dev/null
cmake --build build-png -j "$jobs" --target install >/dev/null

# The libraries only; the program links the decoder and the animation demuxer, the 32-bit
# tests also the encoder and muxer to write their pictures. Threads stay off: the picture box
# decodes on a thread of its own.
cmake -S "libwebp-$WEBP_UPSTREAM" -B build-webp "${cross[@]}" -DBUILD_SHARED_LIBS=OFF \
    -DWEBP_ENABLE_SIMD=ON -DWEBP_USE_THREAD=OFF -DWEBP_BUILD_ANIM_UTILS=OFF \
    -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF \
    -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF \
    -DWEBP_BUILD_LIBWEBPMUX=ON -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF >/dev/null
cmake --build build-webp -j "$jobs" --target install >/dev/null

# --- licence texts and the record of what was built --------------------------------------
mkdir -p "$prefix/licenses"
cp "libjpeg-turbo-$JPEG_UPSTREAM/LICENSE.md" "$prefix/licenses/libjpeg-turbo.LICENSE.md"
cp "libjpeg-turbo-$JPEG_UPSTREAM/README.ijg" "$prefix/licenses/libjpeg-turbo.README.ijg"
cp "$png_src/LICENSE" "$prefix/licenses/libpng.LICENSE"
cat "libwebp-$WEBP_UPSTREAM/COPYING" - "libwebp-$WEBP_UPSTREAM/PATENTS" \
    >"$prefix/licenses/libwebp.COPYING" <<<""
{
    echo "libpng1.6 $png_version"
    if [ "$png_patched" = yes ]; then
        echo "  with Orvessa's patch $(basename "$png_patch" .patch):"
        sed -n '/^Reason: /,/^$/p' "$png_patch" | sed 's/^Reason: //; s/^ //; /^$/d; s/^/    /'
    fi
    echo "libjpeg-turbo $jpeg_version"
    echo "libwebp $webp_version"
} >"$prefix/licenses/SOURCES"

cd "$cache"
rm -rf "$cache/src"
echo "$stamp_text" >"$native/.stamp"
echo "$stamp_text" >"$prefix/.stamp"
echo "build-deps: built into $cache from Debian's source packages:"
sed 's/^/build-deps: /' "$prefix/licenses/SOURCES"
