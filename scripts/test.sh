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

# Each phase's time, printed as it ends and again together at the end (also after a failure),
# so a slow run shows where its time went.
phase_name= phase_started=$SECONDS times=()
phase() {
    if [ -n "$phase_name" ]; then
        local took=$((SECONDS - phase_started))
        echo "-- $phase_name: $took s"
        times+=("$(printf '%5d s  %s' "$took" "$phase_name")")
    fi
    phase_name=${1:-} phase_started=$SECONDS
    if [ -n "$phase_name" ]; then echo "== $phase_name"; fi
}
summary() {
    phase
    echo "== times"
    printf '%s\n' "${times[@]}"
    printf '%5d s  in all\n' "$SECONDS"
}
trap summary EXIT

phase "set-up"
"$root/scripts/setup.sh"

phase "room calls: no circle through app/ or services/core"
"$root/scripts/room-calls.py" "$root"

phase "native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

phase "conformance with a reference decoder"
"$root/scripts/conformance.sh"

phase "Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

phase "Wine tests"
"$root/scripts/wine-env.sh" >/dev/null
"$root/scripts/xvfb-run.sh" ctest --preset windows

phase "fuzzing the picture decoders"
# The two architectures side by side, one on each core.
FUZZ_JOBS=${FUZZ_JOBS:-2} "$root/scripts/fuzz.sh"

phase "hostile and odd picture files"
"$root/scripts/corpus.sh"
