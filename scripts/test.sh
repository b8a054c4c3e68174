#!/usr/bin/env bash
# Sets everything up and runs every test: the portable code natively (with AddressSanitizer
# and UndefinedBehaviorSanitizer), then Orvessa.exe and its test programs under Wine on a
# private Xvfb screen, in a Chinese and a Western locale.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

"$root/scripts/setup.sh"

echo "== native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

echo "== Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

echo "== Wine tests"
"$root/scripts/wine-env.sh" >/dev/null
"$root/scripts/xvfb-run.sh" ctest --preset windows
