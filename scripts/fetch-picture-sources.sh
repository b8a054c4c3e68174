#!/usr/bin/env bash
# Fetches and unpacks Debian's libpng, libjpeg-turbo and libwebp source packages, at the upstream
# versions the Windows build pins in build-deps.sh, and Pillow's, for its test images, into a
# cache outside the tree; the Debian revisions are those the archive serves now. The fuzz build
# compiles the libraries with coverage instrumentation; the corpus replay and the conformance
# check read their test images.
# Prints the folder that holds libpng1.6-*/, libjpeg-turbo-*/, libwebp-*/ and pillow-*/.
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

if [ -f "$src/.stamp" ] && [ "$(cat "$src/.stamp")" = "$stamp" ]; then
    echo "$src"
    exit 0
fi
rm -rf "$src"
mkdir -p "$src"
(
    cd "$src"
    apt-get source -q --download-only "libpng1.6=$png_version" "libjpeg-turbo=$jpeg_version" \
        "libwebp=$webp_version" "pillow=$pillow_version" >&2
    for dsc in *.dsc; do dpkg-source -x "$dsc" >/dev/null 2>&1; done
    rm -f ./*.tar.* ./*.dsc
)
echo "$stamp" >"$src/.stamp"
echo "$src"
