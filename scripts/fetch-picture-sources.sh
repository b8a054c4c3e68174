#!/usr/bin/env bash
# Fetches and unpacks Debian's libpng, libjpeg-turbo and libwebp source packages, at the upstream
# versions the Windows build pins in build-deps.sh, and Pillow's, for its test images, into a
# cache outside the tree; the Debian revisions are those the archive serves now. The fuzz build
# compiles the libraries with coverage instrumentation; the corpus replay and the conformance
# check read their test images. dav1d's source package (pinned in build-deps-avif.sh) joins
# them under a stamp of its own, so adding or changing it refetches nothing else.
# Prints the folder that holds libpng1.6-*/, libjpeg-turbo-*/, libwebp-*/, pillow-*/ and dav1d-*/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache=${ORVESSA_CORPUS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-corpus}
src=$cache/src

if ! apt-get source --help >/dev/null 2>&1 || [ ! -f /etc/apt/sources.list.d/orvessa-deb-src.sources ]; then
    echo "fetch-picture-sources: source packages need scripts/setup.sh to have run" >&2
    exit 1
fi
# shellcheck source=debian-source.sh
. "$here/debian-source.sh"
png_version=$(orvessa_source_version libpng1.6 "$(sed -n 's/^PNG_UPSTREAM=//p' "$here/build-deps.sh")")
jpeg_version=$(orvessa_source_version libjpeg-turbo "$(sed -n 's/^JPEG_UPSTREAM=//p' "$here/build-deps.sh")")
webp_version=$(orvessa_source_version libwebp "$(sed -n 's/^WEBP_UPSTREAM=//p' "$here/build-deps.sh")")
# Debian 12's, the release whose python3-pil is the conformance check's reference decoder.
pillow_version=$(orvessa_source_version pillow 9.4.0)
stamp="libpng1.6=$png_version libjpeg-turbo=$jpeg_version libwebp=$webp_version pillow=$pillow_version"

dav1d_version=$(orvessa_source_version dav1d "$(sed -n 's/^DAV1D_UPSTREAM=//p' "$here/build-deps-avif.sh")")

# Unpacks the given source packages into $src.
unpack() {
    (
        cd "$src"
        apt-get source -q --download-only "$@" >&2
        for dsc in *.dsc; do dpkg-source -x "$dsc" >/dev/null 2>&1; done
        rm -f ./*.tar.* ./*.dsc ./*.asc
    )
}
if [ ! -f "$src/.stamp" ] || [ "$(cat "$src/.stamp")" != "$stamp" ]; then
    rm -rf "$src"
    mkdir -p "$src"
    unpack "libpng1.6=$png_version" "libjpeg-turbo=$jpeg_version" "libwebp=$webp_version" \
        "pillow=$pillow_version"
    echo "$stamp" >"$src/.stamp"
fi
if [ ! -f "$src/.stamp-dav1d" ] || [ "$(cat "$src/.stamp-dav1d")" != "dav1d=$dav1d_version" ]; then
    rm -rf "$src"/dav1d-*/
    unpack "dav1d=$dav1d_version"
    echo "dav1d=$dav1d_version" >"$src/.stamp-dav1d"
fi
echo "$src"
