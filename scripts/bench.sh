#!/usr/bin/env bash
# Decoder benchmark: builds bench/ natively for x86_64 and i686 (-m32, code generation as the
# Windows program's), writes the input pictures once, runs every decoder against its reference
# and prints a table of times and ratios with the target for each. Figures only: a missed
# target is reported, never a failure. Also checks that the cross-built libjpeg-turbo has its
# SIMD code (scripts/check-jpeg-simd.sh), which does fail the script.
#
#   scripts/bench.sh                  both architectures, 5 repetitions (the fastest counts)
#   BENCH_ARCHS=64 BENCH_REPETITIONS=3 BENCH_FILTER=jpg scripts/bench.sh
#
# Folders: build/bench64, build/bench32, build/bench-images (inputs, about 180 MB, rewritten
# when bench/MakeBenchImages.cpp changes). Run it on an otherwise idle machine.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
archs=${BENCH_ARCHS:-"64 32"}
repetitions=${BENCH_REPETITIONS:-5}
filter=${BENCH_FILTER:-.}

packages=(clang cmake ninja-build python3
    libbenchmark-dev libgif-dev libpng-dev libjpeg62-turbo-dev libwebp-dev zlib1g-dev
    libdav1d-dev libavif-dev
    libbenchmark-dev:i386 libgif-dev:i386 libpng-dev:i386 libjpeg62-turbo-dev:i386 libwebp-dev:i386
    libdav1d-dev:i386 libavif-dev:i386
    zlib1g-dev:i386 libc6-dev:i386 libstdc++-12-dev:i386 libgcc-12-dev:i386)
# shellcheck source=packages.sh
. "$root/scripts/packages.sh"
orvessa_install_packages bench "${packages[@]}"

simd_ok=1
"$root/scripts/check-jpeg-simd.sh" || simd_ok=0

for arch in $archs; do
    extra=()
    [ "$arch" = 32 ] && extra=(-DORVESSA_BENCH_M32=ON)
    cmake -S "$root/bench" -B "$root/build/bench$arch" -G Ninja -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ "${extra[@]}" >/dev/null
    cmake --build "$root/build/bench$arch" -j 2 >/dev/null
done

images=$root/build/bench-images
stamp=$(cat "$root/bench/MakeBenchImages.cpp" "$root/tests/support/TestPictures.cpp" |
    sha256sum | cut -c1-16)
if [ ! -f "$images/.stamp" ] || [ "$(cat "$images/.stamp")" != "$stamp" ]; then
    echo "bench: writing the input pictures"
    rm -rf "$images"
    "$root/build/bench${archs%% *}/make_bench_images" "$images" >/dev/null
    echo "$stamp" >"$images/.stamp"
fi

for arch in $archs; do
    echo "bench: running the $arch-bit benchmark"
    "$root/build/bench$arch/decoder_bench" "$images" --benchmark_filter="$filter" \
        --benchmark_repetitions="$repetitions" --benchmark_min_time=0.2 \
        --benchmark_out="$root/build/bench$arch/results.json" --benchmark_out_format=json \
        >"$root/build/bench$arch/results.txt" 2>&1
done

python3 - "$root" $archs <<'PY'
import json, re, sys

root, archs = sys.argv[1], sys.argv[2:]
# Input kind, by the first pattern found in the input's name: (reference run, target ratio,
# what the target is against).
KINDS = [
    (r"^apng", "libpng", 1.10, "libpng, each frame a PNG"),
    (r"^anim", "giflib", 0.80, "giflib, all 10 frames"),
    (r"-webp-", "libwebp", 1.05, "libwebp WebPDecodeBGRA"),
    (r"-avif-", "libavif", 1.05, "libavif decode + to BGRA"),
    (r"-(baseline|progressive)$", "libjpeg", 1.10, "libjpeg read_scanlines"),
    (r"-rgba?$", "libpng", 1.10, "libpng simplified read"),
    (r"-bmp32$", "memcpy", 1.50, "memcpy of the output"),
    (r"-bmp24$", "memcpy", 2.00, "memcpy of the output"),
    (r"-pcx", "memcpy", 2.50, "memcpy of the output"),
    (r"-bmp", "memcpy", 4.00, "memcpy of the output"),
    (r"", "giflib", 0.80, "giflib DGifSlurp + lookup"),
]
def kind(name):
    return next(k[1:] for k in KINDS if re.search(k[0], name))

best = {}  # (arch, input, side) -> fastest repetition in ms
for arch in archs:
    with open(f"{root}/build/bench{arch}/results.json") as f:
        for b in json.load(f)["benchmarks"]:
            if b.get("run_type") != "iteration" or b.get("error_occurred"):
                continue
            name, side = b["run_name"].rsplit("/", 1)
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
            ms = b["cpu_time"] * scale
            key = (arch, name, side)
            best[key] = min(best.get(key, ms), ms)

inputs = sorted({k[1] for k in best}, key=lambda n: (n.split("-")[0] != "photo", n))
header = f"{'input':<26}{'against':<27}{'target':>7}"
for arch in archs:
    header += f" | {arch + '-bit ours':>12}{'ref':>9}{'ratio':>7}"
print(header)
print("-" * len(header))
missed = []
for name in inputs:
    ref, target, what = kind(name)
    line = f"{name:<26}{what:<27}{'<=' + format(target, '.2f'):>7}"
    for arch in archs:
        ours, other = best.get((arch, name, "ours")), best.get((arch, name, ref))
        if ours is None or other is None:
            line += f" | {'-':>12}{'-':>9}{'-':>7}"
            continue
        ratio = ours / other
        mark = " " if ratio <= target else "*"
        if mark == "*":
            missed.append(f"{name} ({arch}-bit)")
        line += f" | {ours:>10.2f}ms{other:>7.2f}ms{ratio:>6.2f}{mark}"
    print(line)
print("times: processor time, fastest of the repetitions; ratio = ours / reference; * = target missed")
print("targets missed: " + (", ".join(missed) if missed else "none"))
PY

[ "$simd_ok" = 1 ]
