#!/usr/bin/env bash
# Replays hostile and odd real-world picture files through every decoder: each file goes to all
# six replay programs of the fuzz build (64-bit and 32-bit, AddressSanitizer and
# UndefinedBehaviorSanitizer), so it meets the decoder its first bytes select and, as hostile
# input, every other one. Fails on any sanitizer report, broken promise, crash, allocation
# above the decoders' cap, or a file that takes more than 2 s. Nothing here is committed: the
# files come from Debian packages and source packages, cached outside the tree.
#
#   scripts/corpus.sh                   both architectures
#   CORPUS_ARCHS=32 scripts/corpus.sh   one of them
#
# The files:
#   gdk-pixbuf-tests      crashers (fail/), damaged files (randomly-modified/), the GIF suite,
#                         large.jpg and large.png (far above the pixel cap) and the rest
#   libsdl2-image-tests   one sample per format (BMP, GIF, ICO, CUR, JPEG, PCX, PNG, ...)
#   libpng source         crashers, the PNG suite and the other test PNGs
#   libjpeg-turbo source  testimages/: 12-bit, arithmetic-coded, progressive, and BMPs
#   Pillow source         Tests/images/: the BMP suite (RLE, bit fields, every header), PCX
#                         and GIF oddities, overrun crashers of many formats
# The cache (${XDG_CACHE_HOME:-~/.cache}/orvessa-corpus) holds the source packages.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
archs=${CORPUS_ARCHS:-"64 32"}
targets="bmp pcx gif icon jpeg png webp avif"
started=$SECONDS

# --- files -----------------------------------------------------------------------------------
# Test-file packages; one Debian does not have is skipped with a note.
corpus_packages=(gdk-pixbuf-tests libsdl2-image-tests)
# shellcheck source=packages.sh
. "$root/scripts/packages.sh"
mapfile -t missing < <(orvessa_missing_packages "${corpus_packages[@]}")
if [ "${#missing[@]}" -gt 0 ]; then
    apt-get update -q >/dev/null
    for p in "${missing[@]}"; do
        if apt-cache policy "$p" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
            DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$p" >/dev/null
        else
            echo "corpus: $p is not in this Debian release; its files are left out"
        fi
    done
fi
src=$("$root/scripts/fetch-picture-sources.sh")

list=$(mktemp)
trap 'rm -f "$list"' EXIT
add() {  # add NAME FIND-ARGUMENTS...: the files of one source
    local name=$1 before after
    shift
    before=$(wc -l <"$list")
    find "$@" -type f 2>/dev/null | sort >>"$list" || true
    after=$(wc -l <"$list")
    echo "corpus: $name: $((after - before)) files"
}
# The installed tests' own programs are executables; the pictures are not.
add gdk-pixbuf-tests /usr/libexec/installed-tests/gdk-pixbuf ! -perm -u+x
add libsdl2-image-tests /usr/libexec/installed-tests/SDL2_image ! -perm -u+x
add "libpng source" "$src"/libpng1.6-*/ -name '*.png'
add "libjpeg-turbo source" "$src"/libjpeg-turbo-*/testimages
add "Pillow source" "$src"/pillow-*/Tests/images
add "AVIF pictures (scripts/conformance.sh makes them)" "$src"/avif-made -name '*.avif'
total=$(wc -l <"$list")
if [ "$total" = 0 ]; then
    echo "corpus: no files found" >&2
    exit 1
fi

# --- replay ----------------------------------------------------------------------------------
FUZZ_ARCHS=$archs "$root/scripts/fuzz.sh" --build-only >/dev/null

# A single allocation above kMaxPicturePixels * 4 bytes (512 MiB) is a finding too.
export ASAN_OPTIONS=max_allocation_size_mb=512:allocator_may_return_null=0
failed=0
for arch in $archs; do
    for target in $targets; do
        log=$root/build/fuzz$arch/corpus-$target.log
        rc=0
        "$root/build/fuzz$arch/replay_$target" --timeout 2 --list "$list" >"$log" 2>&1 || rc=$?
        summary=$(grep "^replay $target:" "$log" | tail -n 1 || true)
        if [ "$rc" = 0 ] && [ -n "$summary" ]; then
            printf 'corpus %-6s %s\n' "$arch-bit" "${summary#replay }"
        else
            failed=1
            what=$(grep -m 1 -E 'TIMEOUT|^SUMMARY:|==[0-9]+==ERROR:|broken promise|runtime error' "$log" ||
                echo "exit code $rc")
            input=$(sed -n 's/^replay: the input was //p' "$log" | tail -n 1)
            printf 'corpus %-6s %-4s FAIL  %s; input %s; log %s\n' "$arch-bit" "$target" "$what" \
                "${input:-see log}" "$log"
        fi
    done
done
echo "corpus: $total files, each through $(echo $targets | wc -w) decoders" \
    "on $(echo $archs | wc -w) architecture(s), in $((SECONDS - started)) s"
exit "$failed"
