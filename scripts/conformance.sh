#!/usr/bin/env bash
# The conformance check: decodes standard picture suites with the portable decoders and with a
# reference decoder (Pillow) and compares the pixels; see tests/conformance/conformance.py for
# the rules, tests/conformance/suites.txt for the suites and differences.txt for every intended
# difference. Uses the native build (cmake --preset native) and builds its dump program there.
#
#   scripts/conformance.sh [--only SUITE]... [--verbose]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS
# shellcheck source=packages.sh
. "$root/scripts/packages.sh"
orvessa_install_packages conformance python3-pil gdk-pixbuf-tests libsdl2-image-tests
src=$("$root/scripts/fetch-picture-sources.sh")

build=$root/build/native
[ -f "$build/build.ninja" ] || cmake --preset native >/dev/null
cmake --build "$build" --target picture_dump >/dev/null
# Debian's Python, whose python3-pil is installed; not one that a PATH may put first.
rc=0
/usr/bin/python3 "$root/tests/conformance/conformance.py" \
    --dump "$build/tests/conformance/picture_dump" --source-root "$src" "$@" || rc=$?
echo "conformance: $((SECONDS - started)) s"
exit "$rc"
