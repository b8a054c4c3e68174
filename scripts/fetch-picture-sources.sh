#!/usr/bin/env bash
# Fetches and unpacks Debian's libpng and libjpeg-turbo source packages, at the versions the
# Windows build pins in build-deps.sh, and Pillow's, for its test images, into a cache outside
# the tree. The fuzz build compiles the libraries with coverage instrumentation; the corpus
# replay and the conformance check read their test images.
# Prints the folder that holds libpng1.6-*/, libjpeg-turbo-*/ and pillow-*/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
png_version=$(sed -n 's/^PNG_VERSION=//p' "$here/build-deps.sh")
jpeg_version=$(sed -n 's/^JPEG_VERSION=//p' "$here/build-deps.sh")
# Debian 12's, the release whose python3-pil is the conformance check's reference decoder.
pillow_version=9.4.0-1.1+deb12u1
cache=${ORVESSA_CORPUS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-corpus}
src=$cache/src
stamp="libpng1.6=$png_version libjpeg-turbo=$jpeg_version pillow=$pillow_version"

if [ -f "$src/.stamp" ] && [ "$(cat "$src/.stamp")" = "$stamp" ]; then
    echo "$src"
    exit 0
fi
if ! apt-get source --help >/dev/null 2>&1 || [ ! -f /etc/apt/sources.list.d/orvessa-deb-src.sources ]; then
    echo "fetch-picture-sources: source packages need scripts/setup.sh to have run" >&2
    exit 1
fi
rm -rf "$src"
mkdir -p "$src"
(
    cd "$src"
    apt-get source -q --download-only "libpng1.6=$png_version" "libjpeg-turbo=$jpeg_version" \
        "pillow=$pillow_version" >&2
    for dsc in *.dsc; do dpkg-source -x "$dsc" >/dev/null 2>&1; done
    rm -f ./*.tar.* ./*.dsc
)
echo "$stamp" >"$src/.stamp"
echo "$src"
