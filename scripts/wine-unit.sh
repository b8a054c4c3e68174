#!/usr/bin/env bash
# Runs a GoogleTest program of the Windows build (a console program) under Wine in the test
# prefix, in the given locale, and returns its exit code. The portable suites run this way as
# well as natively: here they are 32-bit and built by the compiler that builds the program,
# with the Windows halves of the platform pairs (memory, clock, floating point).
#
#   scripts/wine-unit.sh LOCALE TESTS.exe [GoogleTest flags]
set -euo pipefail

if [ "$#" -lt 2 ]; then
    echo "usage: $0 LOCALE TESTS.exe [GoogleTest flags]" >&2
    exit 2
fi
locale_name=$1 program=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
orvessa_wine_prefix_ready
orvessa_wine_env "$locale_name"
trap orvessa_wine_kill EXIT
# Console output only: no window, so no display is needed.
env -u DISPLAY wine "$program" --gtest_color=no "$@"
