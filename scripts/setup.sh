#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, as root.
# Safe to run again: every step checks what is already there.
set -euo pipefail

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

# Source packages for the cross-built libraries come from the main archive only;
# the security archive's deb-src index points at files this mirror may not serve.
# They are Debian 12's on any release: the pinned upstream versions are those it serves
# (Debian 13 serves newer ones; scripts/wine10.sh runs there).
src_list=/etc/apt/sources.list.d/orvessa-deb-src.sources
if [ ! -f "$src_list" ]; then
    cat >"$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

# shellcheck source=packages.sh
. "$(dirname "$0")/packages.sh"
packages=(
    build-essential cmake ninja-build pkg-config dpkg-dev
    g++-mingw-w64-i686 mingw-w64-i686-dev libz-mingw-w64-dev nasm meson
    libpng-dev libjpeg62-turbo-dev libwebp-dev zlib1g-dev libgtest-dev libgmock-dev googletest
    # AV1 for the native build; libavif's encoder writes the tests' AVIF pictures.
    libdav1d-dev libavif-dev
    wine wine32 fonts-wine xvfb xauth x11-utils imagemagick fonts-wqy-microhei
    zip
    locales
    # The room check reads the tree's files as git lists them (scripts/room-calls.py).
    git
    # Fuzzing and the decoder benchmark (scripts/fuzz.sh, scripts/bench.sh), 64- and 32-bit.
    clang "$(orvessa_clang_runtime)" python3 libgif-dev libbenchmark-dev
    libc6-dev:i386 libstdc++-12-dev:i386 libgcc-12-dev:i386 zlib1g-dev:i386
    libpng-dev:i386 libjpeg62-turbo-dev:i386 libwebp-dev:i386 libgif-dev:i386 libbenchmark-dev:i386
    # The formatter the house style is written for (.clang-format).
    clang-format
    # The conformance check's reference decoders and the GIF suite (scripts/conformance.sh).
    python3-pil gdk-pixbuf-tests libsdl2-image-tests libavif-bin
)
mapfile -t missing < <(orvessa_missing_packages "${packages[@]}")
if [ "${#missing[@]}" -gt 0 ] || [ "$need_update" = 1 ]; then
    apt-get update -q
fi
if [ "${#missing[@]}" -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# --- Locales for the Wine GUI tests ------------------------------------------------------
# Every GUI test runs under zh_CN.GBK (ANSI code page 936) and under C.UTF-8; Wine takes a
# process's code page from its Unix locale, and a locale that is not generated falls back
# to C without a word.
if ! locale -a | grep -qix 'zh_CN.gbk'; then
    if grep -q '^# *zh_CN.GBK GBK' /etc/locale.gen 2>/dev/null; then
        sed -i 's/^# *zh_CN.GBK GBK/zh_CN.GBK GBK/' /etc/locale.gen
    elif ! grep -qx 'zh_CN.GBK GBK' /etc/locale.gen 2>/dev/null; then
        echo 'zh_CN.GBK GBK' >>/etc/locale.gen
    fi
    locale-gen
fi
# --- end of the GUI test locales ---------------------------------------------------------

# Cross-built libpng, libjpeg-turbo and libwebp for the Windows build, cached outside the tree;
# dav1d beside them, as a part built and stamped on its own.
"$(dirname "$0")/build-deps.sh"
"$(dirname "$0")/build-deps-avif.sh"
