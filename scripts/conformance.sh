#!/usr/bin/env bash
# The conformance check: decodes standard picture suites with the portable decoders and with a
# reference decoder (Pillow; Debian's avifdec for AVIF) and compares the pixels; see tests/conformance/conformance.py for
# the rules, tests/conformance/suites.txt for the suites and differences.txt for every intended
# difference. Uses the native build (cmake --preset native) and builds its dump program there.
#
#   scripts/conformance.sh [--only SUITE]... [--verbose]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS
# shellcheck source=packages.sh
. "$root/scripts/packages.sh"
orvessa_install_packages conformance python3-pil gdk-pixbuf-tests libsdl2-image-tests libavif-bin
src=$("$root/scripts/fetch-picture-sources.sh")

# The AVIF pictures, made by avifenc from Pillow's PNGs; again when the list or avifenc changes.
made=$src/avif-made
recipes=$root/tests/conformance/avif-pictures.txt
stamp="$(avifenc --version 2>&1 | head -n 1) $(sha256sum <"$recipes" | cut -c1-16)"
if [ ! -f "$made/.stamp" ] || [ "$(cat "$made/.stamp")" != "$stamp" ]; then
    rm -rf "$made"
    mkdir -p "$made"
    grep -v '^#' "$recipes" | while read -r name options; do
        [ -n "$name" ] || continue
        # shellcheck disable=SC2086  # the options are words
        (cd "$src"/pillow-*/Tests/images && avifenc --speed 8 --jobs 1 $options "$made/$name" >/dev/null)
    done
    echo "$stamp" >"$made/.stamp"
fi

build=$root/build/native
[ -f "$build/build.ninja" ] || cmake --preset native >/dev/null
cmake --build "$build" --target picture_dump >/dev/null
# Debian's Python, whose python3-pil is installed; not one that a PATH may put first.
rc=0
/usr/bin/python3 "$root/tests/conformance/conformance.py" \
    --dump "$build/tests/conformance/picture_dump" --source-root "$src" "$@" || rc=$?
echo "conformance: $((SECONDS - started)) s"
exit "$rc"
