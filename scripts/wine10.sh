#!/usr/bin/env bash
# Runs the Wine suite on Debian 13 ("trixie", Wine 10), as root, on a fresh machine or chroot.
# CI stays on Debian 12 and Wine 8; this run shows what the newer Wine, closer to Windows in
# places, makes of the program and its tests. docs/WINE.md records the results and the reasons.
#
#   bash scripts/wine10.sh [--print-screenshots] [REGEX]
#
# The set-up is scripts/setup.sh's, as on Debian 12: the cross-built libraries keep their pinned
# upstream versions, which only Debian 12's source packages carry; setup.sh's deb-src entry
# names bookworm on any release, so they come from there. Then the Windows build and the Wine
# tests in both locales (no native tests, no fuzzing), a summary, and screenshots at 96 and
# 144 DPI in build/wine10/. --print-screenshots also prints them in base64 between marker
# lines, for a throwaway chroot whose output is all that is kept. REGEX picks the tests
# (ctest -R), e.g. '^wine\.gbk\.' for one locale: every test by default.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
print_shots=0
[ "${1:-}" = "--print-screenshots" ] && print_shots=1 && shift
pick=(${1:+-R "$1"})
jobs=$(($(nproc) < 2 ? $(nproc) : 2))

release=$(. /etc/os-release && echo "${PRETTY_NAME:-unknown} ($(cat /etc/debian_version 2>/dev/null))")
# A fresh machine may have no git; the checkout's HEAD says the commit all the same.
commit=$(git rev-parse --short HEAD 2>/dev/null ||
    { head=$(cat .git/HEAD 2>/dev/null); case "$head" in ref:*) cat ".git/${head#ref: }" 2>/dev/null ||
        awk -v r="${head#ref: }" '$2 == r {print $1}' .git/packed-refs 2>/dev/null ;; *) echo "$head" ;; esac; } ||
    echo unknown)
echo "== wine10: $release, commit ${commit:0:12}"

"$root/scripts/setup.sh"
echo "== wine10: $(wine --version); wine32 $(dpkg-query -W -f='${Version}' wine32:i386)"

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

"$root/scripts/wine-env.sh" >/dev/null
log=$root/build/wine10
mkdir -p "$log"
set +e
"$root/scripts/xvfb-run.sh" ctest --preset windows "${pick[@]}" 2>&1 | tee "$log/ctest.log"
status=${PIPESTATUS[0]}
set -e

for dpi in 96 144; do
    "$root/scripts/screenshot.sh" --dpi "$dpi" build/windows/app/Orvessa.exe "$log/window-$dpi.png" ||
        echo "wine10: no screenshot at $dpi DPI"
    if [ "$print_shots" = 1 ] && [ -f "$log/window-$dpi.png" ]; then
        echo "-----BEGIN window-$dpi.png-----"
        base64 -w 100 "$log/window-$dpi.png"
        echo "-----END window-$dpi.png-----"
    fi
done

echo "== wine10: summary ($(wine --version), $release, commit ${commit:0:12})"
# The metrics and figures the driver notes along the way, passed cases included.
grep -hE '^[0-9]+/[0-9]+ Testing: wine\.|^ +[A-Za-z]+: ' build/windows/Testing/Temporary/LastTest.log |
    grep -B1 -E '^ +[A-Za-z]+: ' | grep -v '^--$' || true
grep -E 'tests passed|tests failed' "$log/ctest.log" || true
sed -n '/The following tests FAILED:/,$p' "$log/ctest.log" | grep -E '^[[:space:]]+[0-9]+ - ' || true
exit "$status"
