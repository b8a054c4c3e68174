#!/usr/bin/env bash
# The slowest inputs of each fuzz target: runs every input of a target's corpus and seeds once
# through its libFuzzer program (the same instrumentation, sanitizers and picture cap as a fuzz
# run) and prints the slowest, with their times. An input that takes longer than the limit
# (250 ms) is marked SLOW and makes the exit status 1: on a loaded machine such an input comes
# near libFuzzer's 2 s timeout. Run it on an otherwise idle machine; figures on a busy one are
# only an upper bound.
#
#   scripts/fuzz-slowest.sh                        every target, both architectures, 5 each
#   FUZZ_TARGETS="webp gif" FUZZ_ARCHS=64 FUZZ_SLOWEST=10 scripts/fuzz-slowest.sh
#   FUZZ_SLOW_MS=100 scripts/fuzz-slowest.sh       another limit
#
# The corpora are those scripts/fuzz.sh grows (build/fuzz-corpus/<arch>/<target>) and its
# seeds (build/fuzz-seeds/<target>); the programs are built by scripts/fuzz.sh --build-only,
# which this runs first when they are missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
targets=${FUZZ_TARGETS:-"bmp pcx gif icon jpeg png webp avif"}
archs=${FUZZ_ARCHS:-"64 32"}
shown=${FUZZ_SLOWEST:-5}
limit=${FUZZ_SLOW_MS:-250}

for arch in $archs; do
    for target in $targets; do
        if [ ! -x "$root/build/fuzz$arch/fuzz_$target" ] || [ ! -d "$root/build/fuzz-seeds" ]; then
            FUZZ_ARCHS="$archs" "$root/scripts/fuzz.sh" --build-only
            break 2
        fi
    done
done

slow=0
times=$(mktemp)
trap 'rm -f "$times"' EXIT
for target in $targets; do
    for arch in $archs; do
        program=$root/build/fuzz$arch/fuzz_$target
        folders=()
        for folder in "$root/build/fuzz-corpus/$arch/$target" "$root/build/fuzz-seeds/$target"; do
            [ -d "$folder" ] && folders+=("$folder")
        done
        name=$(printf '%-4s %-6s' "$target" "$arch-bit")
        if [ "${#folders[@]}" -eq 0 ]; then
            echo "slowest $name no corpus"
            continue
        fi
        # Given files rather than folders, libFuzzer runs each once and says how long it took.
        # The options are those of a fuzz run, so an input fails here as it would there.
        find "${folders[@]}" -type f -print0 |
            xargs -0 -r "$program" -timeout=2 -rss_limit_mb=2048 -malloc_limit_mb=512 2>&1 |
            sed -n 's/^Executed \(.*\) in \([0-9]*\) ms$/\2 \1/p' | sort -rn >"$times" || true
        count=$(wc -l <"$times")
        total=$(find "${folders[@]}" -type f | wc -l)
        over=$(awk -v limit="$limit" '$1 > limit' "$times" | wc -l)
        echo "slowest $name $count inputs, $over above $limit ms"
        if [ "$count" -lt "$total" ]; then
            # libFuzzer stops at a failing input: replay_<target> names it.
            echo "    $((total - count)) of $total inputs not timed: an input failed"
            slow=1
        fi
        head -n "$shown" "$times" | while read -r ms path; do
            mark=""
            [ "$ms" -gt "$limit" ] && mark=" SLOW"
            printf '    %6d ms  %s%s\n' "$ms" "${path#"$root"/}" "$mark"
        done
        [ "$over" -gt 0 ] && slow=1
    done
done
exit "$slow"
