#!/usr/bin/env bash
# Runs a console program of the Windows build under Wine in the test prefix, in the given
# locale, and returns its exit code; its output comes with Unix line ends. CTest runs the
# portable GoogleTest suites this way, case by case, as well as natively: here they are 32-bit
# and built by the compiler that builds the program, with the Windows halves of the platform
# pairs (memory, clock, floating point). It also lists their cases and the GUI driver's.
#
#   scripts/wine-unit.sh LOCALE PROGRAM.exe [ARG...]
#
# The Wine server of the prefix is stopped on the way out, unless ORVESSA_WINE_KEEP_SERVER=1:
# then a server started beforehand (`scripts/wine-env.sh wineserver -p`, as CTest does around
# the unit cases) serves the next run too, which saves the second it takes to start one.
set -euo pipefail

if [ "$#" -lt 2 ]; then
    echo "usage: $0 LOCALE PROGRAM.exe [ARG...]" >&2
    exit 2
fi
locale_name=$1 program=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
orvessa_wine_prefix_ready
orvessa_wine_env "$locale_name"
if [ "${ORVESSA_WINE_KEEP_SERVER:-0}" != 1 ]; then
    trap orvessa_wine_kill EXIT
fi
# Console output only: no window, so no display is needed.
env -u DISPLAY wine "$program" "$@" | tr -d '\r'
