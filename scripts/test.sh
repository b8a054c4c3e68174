#!/usr/bin/env bash
# Sets everything up and runs every test: the portable code natively (with AddressSanitizer
# and UndefinedBehaviorSanitizer), Orvessa.exe and its test programs under Wine on a private
# Xvfb screen in a Chinese and a Western locale, the decoders against a reference decoder over
# standard picture suites, then each picture decoder under libFuzzer
# (FUZZ_SECONDS each, 60 by default, 64- and 32-bit) and over Debian's hostile picture files.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

"$root/scripts/setup.sh"

echo "== the rooms of services/win call down, never round"
"$root/scripts/room-calls.py" "$root"

echo "== native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

echo "== conformance with a reference decoder"
"$root/scripts/conformance.sh"

echo "== Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

echo "== Wine tests"
"$root/scripts/wine-env.sh" >/dev/null
"$root/scripts/xvfb-run.sh" ctest --preset windows

echo "== fuzzing the picture decoders"
# The two architectures side by side, one on each core.
FUZZ_JOBS=${FUZZ_JOBS:-2} "$root/scripts/fuzz.sh"

echo "== hostile and odd picture files"
"$root/scripts/corpus.sh"
