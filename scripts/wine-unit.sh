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
output=$(mktemp "${TMPDIR:-/tmp}/orvessa-unit.XXXXXX")
finish() {
    rm -f "$output"
    if [ "${ORVESSA_WINE_KEEP_SERVER:-0}" != 1 ]; then orvessa_wine_kill; fi
}
trap finish EXIT
# Console output only: no window, so no display is needed.
run() { env -u DISPLAY wine "$program" "$@" >"$output"; }
status=0
run "$@" || status=$?
# On a loaded machine Wine's own loader now and then dies of a segmentation fault on the way out
# of a program that has finished (a Unix signal, status 139: a fault of the program's own ends
# it with a Windows exception code instead). Such a run is made again, once, and says so.
if [ "$status" = 139 ]; then
    echo "wine-unit: Wine's loader died of a segmentation fault on the way out; running again" >&2
    status=0
    run "$@" || status=$?
fi
tr -d '\r' <"$output"
exit "$status"
