#!/usr/bin/env bash
# Checks that the cross-built libjpeg-turbo that Orvessa.exe links carries its SIMD code: without
# nasm at build time it silently falls back to plain C, several times slower. Looks for the
# jsimd_ routines (the dispatchers and the SSE2/AVX2 kernels) in the static library.
set -euo pipefail

cache=${ORVESSA_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-deps}
lib=$cache/i686/lib/libjpeg.a
nm=$(command -v i686-w64-mingw32-nm || command -v nm)
if [ ! -f "$lib" ]; then
    echo "jpeg simd: $lib is missing (scripts/build-deps.sh builds it)" >&2
    exit 1
fi
symbols=$("$nm" --defined-only "$lib" 2>/dev/null | awk '$2 == "T" {print $3}' | sed 's/^_//')
kernels=$(grep -cE '^jsimd_.*_(sse2|avx2|mmx)$' <<<"$symbols" || true)
if grep -qx 'jsimd_can_idct_islow' <<<"$symbols" && [ "$kernels" -gt 0 ]; then
    example=$(grep -m 1 -E '^jsimd_idct_islow_(avx2|sse2)$' <<<"$symbols" || true)
    echo "jpeg simd: present in $lib ($kernels SSE2/AVX2/MMX kernels, e.g. ${example:-?})"
else
    echo "jpeg simd: MISSING in $lib: libjpeg-turbo was built without its SIMD code" >&2
    exit 1
fi
