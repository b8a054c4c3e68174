#!/usr/bin/env bash
# A long session of Orvessa under Wine, with its figures: CHANGES picture changes (default
# 1,000) chosen in the program's dialog, cycling through every format, each followed by a
# packaging or query click whose message box is dismissed. Prints the working set, GDI objects,
# kernel handles and threads every 100 changes and at the warm-up point (change 50), and fails
# when the working set rose by 2 MiB or more from there or a count did not come back.
# The test suite runs the same case short (wine.*.Soak). Needs a built `windows` preset.
#
#   scripts/soak-wine.sh [CHANGES]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVESSA_BUILD:-$root/build/windows}
export ORVESSA_SOAK_CHANGES=${1:-1000}
exec "$root/scripts/wine-test.sh" zh_CN.GBK "$build/tests/wine/OrvessaGuiTests.exe" \
    "$build/app/Orvessa.exe" Soak "$build/tests/probe/OrvessaProbe.exe"
