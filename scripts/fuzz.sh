#!/usr/bin/env bash
# Fuzzes each picture decoder with libFuzzer, as a 64-bit and a 32-bit program (on 32 bits
# size_t is as narrow as on the Windows target, so size arithmetic that wraps shows up), all with
# AddressSanitizer and UndefinedBehaviorSanitizer. libpng, libjpeg-turbo, libwebp and dav1d are
# compiled from Debian's sources with the same coverage instrumentation (and AddressSanitizer),
# so the fuzzer sees inside them and not only our glue. Fails when any target finds anything.
#
#   scripts/fuzz.sh                  every target for FUZZ_SECONDS (default 60) on each architecture
#   FUZZ_SECONDS=10 FUZZ_TARGETS="gif png" FUZZ_ARCHS=32 scripts/fuzz.sh
#   FUZZ_JOBS=2 scripts/fuzz.sh      the two architectures of a target side by side (2 cores)
#   scripts/fuzz.sh --build-only     build both architectures and write the seeds, run nothing
#
# Folders: build/fuzz64 and build/fuzz32 (the project in tests/fuzz), build/fuzz-seeds (written
# by make_fuzz_seeds on every run), build/fuzz-corpus/<arch>/<target> (grows from run to run),
# build/fuzz-findings/<arch>/ (inputs that failed; replay one with
# build/fuzz<arch>/replay_<target> FILE). The instrumented libraries are cached in
# ${XDG_CACHE_HOME:-~/.cache}/orvessa-fuzz: libs<arch> and, a part of its own that is built and
# stamped apart (adding it rebuilt nothing else), dav1d<arch>.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-"bmp pcx gif icon jpeg png webp avif drop"}
archs=${FUZZ_ARCHS:-"64 32"}
parallel=${FUZZ_JOBS:-1}
build_only=0
[ "${1:-}" = "--build-only" ] && build_only=1
cache=${ORVESSA_FUZZ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-fuzz}

# --- packages --------------------------------------------------------------------------------
# shellcheck source=packages.sh
. "$root/scripts/packages.sh"
packages=(clang "$(orvessa_clang_runtime)" cmake ninja-build meson dpkg-dev zlib1g-dev libwebp-dev
    libc6-dev:i386 libstdc++-12-dev:i386 libgcc-12-dev:i386 zlib1g-dev:i386 libwebp-dev:i386)
orvessa_install_packages fuzz "${packages[@]}"

# --- instrumented libpng, libjpeg-turbo and libwebp -----------------------------------------
src=$("$root/scripts/fetch-picture-sources.sh")
jpeg_src=$(echo "$src"/libjpeg-turbo-*/)
png_src=$(echo "$src"/libpng1.6-*/)
webp_src=$(echo "$src"/libwebp-*/)
lib_flags="-O1 -gline-tables-only -fno-omit-frame-pointer -fsanitize=address,fuzzer-no-link"

# Static libraries and headers only: the libraries' own programs and tests are not built.
build_libraries() {
    local arch=$1 prefix=$cache/libs$1
    local flags=$lib_flags extra=()
    if [ "$arch" = 32 ]; then
        flags="$flags -m32"
        extra=(-DCMAKE_LIBRARY_ARCHITECTURE=i386-linux-gnu)
    fi
    local stamp_text
    stamp_text="$(cat "$src/.stamp") $(clang --version | head -n 1) $flags"
    if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp_text" ]; then
        return
    fi
    echo "fuzz: building instrumented libpng, libjpeg-turbo and libwebp ($arch-bit)"
    local work=$cache/work$arch
    rm -rf "$prefix" "$work"
    mkdir -p "$prefix/include" "$prefix/lib"
    local common=(-G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_BUILD_TYPE=Release
        "-DCMAKE_C_FLAGS=$flags" -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG "${extra[@]}")
    # The C code paths only: SIMD code is not instrumented and would hide them from the fuzzer.
    cmake -S "$jpeg_src" -B "$work/jpeg" "${common[@]}" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF \
        -DWITH_TURBOJPEG=OFF >/dev/null
    cmake --build "$work/jpeg" -j 2 --target jpeg-static >/dev/null
    cp "$work/jpeg/libjpeg.a" "$prefix/lib/"
    cp "$work/jpeg/jconfig.h" "$jpeg_src"/{jpeglib.h,jmorecfg.h,jerror.h} "$prefix/include/"
    cmake -S "$png_src" -B "$work/png" "${common[@]}" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF >/dev/null
    cmake --build "$work/png" -j 2 --target png_static >/dev/null
    cp "$work/png/libpng16.a" "$prefix/lib/"
    cp "$work/png/pnglibconf.h" "$png_src"/{png.h,pngconf.h} "$prefix/include/"
    # The decoder, the animation demuxer and (for the seed writer) the encoder and muxer. Its
    # SIMD code is C with intrinsics, instrumented like the rest (turning it off would take
    # SSE2 away from the 64-bit build, which it cannot do without).
    cmake -S "$webp_src" -B "$work/webp" "${common[@]}" -DBUILD_SHARED_LIBS=OFF \
        -DWEBP_ENABLE_SIMD=ON -DWEBP_USE_THREAD=OFF -DWEBP_BUILD_ANIM_UTILS=OFF \
        -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF \
        -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF \
        -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF >/dev/null
    cmake --build "$work/webp" -j 2 --target webp webpdemux libwebpmux >/dev/null
    cp "$work"/webp/{libwebp.a,libwebpdemux.a,libwebpmux.a} "$prefix/lib/"
    mkdir -p "$prefix/include/webp"
    cp "$webp_src"/src/webp/{decode,demux,encode,mux,mux_types,types}.h "$prefix/include/webp/"
    rm -rf "$work"
    echo "$stamp_text" >"$prefix/.stamp"
}

# dav1d, the C code only (its assembly is not instrumented), for the AVIF target.
build_dav1d() {
    local arch=$1 prefix=$cache/dav1d$1
    local flags=$lib_flags
    [ "$arch" = 32 ] && flags="$flags -m32"
    local stamp_text
    stamp_text="$(cat "$src/.stamp-dav1d") $(clang --version | head -n 1) $(meson --version) $flags"
    if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp_text" ]; then
        return
    fi
    echo "fuzz: building instrumented dav1d ($arch-bit)"
    local work=$cache/work-dav1d$arch
    rm -rf "$prefix" "$work"
    mkdir -p "$work"
    # A 32-bit build is a cross build to meson: the host is x86, not the machine's x86-64.
    local words="" cross=()
    for word in $flags -DNDEBUG; do words="$words'$word', "; done
    cat >"$work/machine.txt" <<MACHINE
[binaries]
c = 'clang'
ar = 'ar'

[built-in options]
c_args = [${words%, }]
c_link_args = [${words%, }]

[host_machine]
system = 'linux'
cpu_family = '$([ "$arch" = 32 ] && echo x86 || echo x86_64)'
cpu = '$([ "$arch" = 32 ] && echo i686 || echo x86_64)'
endian = 'little'
MACHINE
    cross=(--cross-file "$work/machine.txt")
    meson setup "$work/build" "$(echo "$src"/dav1d-*/)" "${cross[@]}" --prefix "$prefix" \
        --libdir lib --buildtype plain -Ddefault_library=static -Dbitdepths=8,16 \
        -Denable_asm=false -Denable_tools=false -Denable_examples=false -Denable_tests=false \
        -Denable_docs=false -Dlogging=false >/dev/null
    ninja -C "$work/build" -j 2 install >/dev/null
    rm -rf "$work"
    echo "$stamp_text" >"$prefix/.stamp"
}

build_targets() {
    local arch=$1 dir=$root/build/fuzz$1
    local extra=()
    [ "$arch" = 32 ] && extra=(-DORVESSA_FUZZ_M32=ON)
    cmake -S "$root/tests/fuzz" -B "$dir" -G Ninja -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ "-DCMAKE_PREFIX_PATH=$cache/libs$arch;$cache/dav1d$arch" \
        "${extra[@]}" >/dev/null
    cmake --build "$dir" -j 2 >/dev/null
}

started=$SECONDS
# The architectures build side by side: each build's serial steps (configuring, linking) leave
# a core to the other.
builds=() build_failed=0
for arch in $archs; do
    (
        build_libraries "$arch"
        build_dav1d "$arch"
        build_targets "$arch"
    ) &
    builds+=($!)
done
for build in "${builds[@]}"; do wait "$build" || build_failed=1; done
[ "$build_failed" = 0 ] || exit 1
first_arch=${archs%% *}
seeds=$root/build/fuzz-seeds
rm -rf "$seeds"
"$root/build/fuzz$first_arch/make_fuzz_seeds" "$seeds"
echo "fuzz: built in $((SECONDS - started)) s"
[ "$build_only" = 1 ] && exit 0

# --- runs ------------------------------------------------------------------------------------
max_len() {
    case $1 in
    jpeg | png | avif) echo 32768 ;;
    gif) echo 16384 ;;
    *) echo 8192 ;;
    esac
}

# Runs one target and writes its one-line summary to $3; the line starts with FAIL on a finding.
run_one() {
    local arch=$1 target=$2 summary=$3
    local corpus=$root/build/fuzz-corpus/$arch/$target findings=$root/build/fuzz-findings/$arch
    local log=$root/build/fuzz$arch/$target.log
    mkdir -p "$corpus" "$findings"
    # One allocation above 512 MiB breaks the decoders' promise (kMaxPicturePixels * 4 bytes).
    local options=(-max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=2
        -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1
        -artifact_prefix="$findings/$target-")
    local dict=$root/tests/fuzz/dict/$target.dict
    [ -f "$dict" ] && options+=(-dict="$dict")
    local rc=0
    "$root/build/fuzz$arch/fuzz_$target" "${options[@]}" "$corpus" "$seeds/$target" >"$log" 2>&1 ||
        rc=$?
    local runs cov corp
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    corp=$(grep -o 'corp: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    local name
    name=$(printf '%-4s %-6s' "$target" "$arch-bit")
    if [ "$rc" = 0 ]; then
        echo "fuzz $name ok    ${runs:-?} runs in $seconds s, coverage ${cov:-?}," \
            "corpus ${corp:-?}" >"$summary"
    else
        local what input
        what=$(grep -m 1 -E '^(SUMMARY:|==[0-9]+==ERROR:)|broken promise' "$log" ||
            echo "exit code $rc")
        input=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
        echo "fuzz $name FAIL  $what; input ${input:-none}; log $log" >"$summary"
    fi
}

failed=0
summaries=$(mktemp -d)
trap 'rm -rf "$summaries"' EXIT
for target in $targets; do
    pids=()
    for arch in $archs; do
        run_one "$arch" "$target" "$summaries/$target-$arch" &
        pids+=($!)
        if [ "${#pids[@]}" -ge "$parallel" ]; then
            wait "${pids[@]}"
            pids=()
        fi
    done
    [ "${#pids[@]}" -gt 0 ] && wait "${pids[@]}"
    for arch in $archs; do
        cat "$summaries/$target-$arch"
        grep -q ' FAIL ' "$summaries/$target-$arch" && failed=1
    done
done
echo "fuzz: done in $((SECONDS - started)) s"
exit "$failed"
