#!/usr/bin/env bash
# Sets everything up and runs every test: the portable code natively (with AddressSanitizer
# and UndefinedBehaviorSanitizer), Orvessa.exe and its test programs under Wine on a private
# Xvfb screen in a Chinese and a Western locale, the decoders against a reference decoder over
# standard picture suites, then each picture decoder under libFuzzer
# (FUZZ_SECONDS each, 30 by default, 64- and 32-bit) and over Debian's hostile picture files.
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
fuzz_build=
summary() {
    # A build still running in the background (after a failure) ends with the run.
    if [ -n "$fuzz_build" ]; then kill -- -"$fuzz_build" 2>/dev/null || true; fi
    phase
    echo "== times"
    printf '%s\n' "${times[@]}"
    printf '%5d s  in all\n' "$SECONDS"
    if [ -s build/windows/wine-run-again.txt ]; then
        echo "Wine cases that passed only when run again: $(cat build/windows/wine-run-again.txt)"
    fi
}
trap summary EXIT

phase "set-up"
"$root/scripts/setup.sh"
# Fetched once here, before the checks and the fuzz build below read them side by side.
"$root/scripts/fetch-picture-sources.sh" >/dev/null

# The instrumented libraries and fuzz targets build in the background, at idle priority, in
# the CPU time the checks below leave: the Wine cases mostly wait on the program, and an idle
# task gives way to them at once. Built once a machine, then cached; see the fuzzing phase.
mkdir -p build
fuzz_build_log=$root/build/fuzz-build.log
idle=(nice -n 19)
if chrt --idle 0 true 2>/dev/null; then idle=(chrt --idle 0 "${idle[@]}"); fi
setsid "${idle[@]}" "$root/scripts/fuzz.sh" --build-only >"$fuzz_build_log" 2>&1 &
fuzz_build=$!

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
rm -f build/windows/wine-run-again.txt
# Two lanes side by side, each on a screen and a prefix of its own: the Chinese-locale cases,
# the unit cases and the display scales in the first, the Western-locale cases in the second.
"$root/scripts/wine-env.sh" >/dev/null
ORVESSA_WINE_LANE=2 "$root/scripts/wine-env.sh" >/dev/null
# A case that fails is run once more, alone, once the others are done: under load, Wine now
# and then loses an input event, lets a wait run out, or its loader dies of a segmentation
# fault on the way out of a unit program that has finished. The cases that needed it are named at
# the end, so one that starts to fail often shows; a case that fails twice fails the run.
"$root/scripts/xvfb-run.sh" --second-screen sh -c '
    ctest --preset windows -j 2 && exit 0
    failed=build/windows/Testing/Temporary/LastTestsFailed.log
    [ -s "$failed" ] || exit 1
    names=$(cut -d: -f2 "$failed" | tr "\n" " ")
    echo "== Wine cases run again, alone: $names"
    ctest --preset windows --rerun-failed -j 1 || exit 1
    echo "$names" >build/windows/wine-run-again.txt'

phase "fuzzing the picture decoders"
build_status=0
wait "$fuzz_build" || build_status=$?
fuzz_build=
if [ "$build_status" != 0 ]; then
    cat "$fuzz_build_log"
    echo "the fuzz build failed" >&2
    exit 1
fi
grep -h '^fuzz: built' "$fuzz_build_log" || true
# 30 s a target and architecture, the two architectures side by side, one on each core;
# scripts/fuzz.sh alone runs 60 s, and longer with FUZZ_SECONDS.
FUZZ_SECONDS=${FUZZ_SECONDS:-30} FUZZ_JOBS=${FUZZ_JOBS:-2} "$root/scripts/fuzz.sh"

phase "hostile and odd picture files"
"$root/scripts/corpus.sh"
