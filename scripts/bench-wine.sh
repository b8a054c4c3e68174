#!/usr/bin/env bash
# Measures Orvessa's Windows side under Wine on a private Xvfb screen and prints the figures:
# picture box repaint cost, peak memory and time while showing large JPEGs, CPU cost of a
# playing GIF (the program, its Wine server and the X server), and start-up time against a bare
# window and against the start-up steps alone, at 96 and 144 DPI.
#   scripts/bench-wine.sh            everything
#   scripts/bench-wine.sh startup    the start-up figures alone (STARTUP_RUNS, STARTUP_DPIS)
# Needs a configured and built `windows` preset (scripts/test.sh does both).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVESSA_BUILD:-$root/build/windows}
if [ -z "${ORVESSA_BENCH_INNER:-}" ]; then
    export ORVESSA_BENCH_INNER=1
    exec "$root/scripts/xvfb-run.sh" "$0" "$@"
fi

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
orvessa_wine_prefix_ready
orvessa_wine_env C.UTF-8
bench=$build/bench/win
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# CPU ticks (user + system) of a Unix process.
ticks() {
    if [ -n "$1" ] && [ -r "/proc/$1/stat" ]; then
        # Fields after the parenthesised name; utime and stime are the 12th and 13th of them.
        sed 's/.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'
    else
        echo 0
    fi
}
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
hwm_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }
# The Unix process running a given Windows program.
pid_of() { pgrep -n -f "$1" || true; }
wait_line() {  # file, line, seconds
    local deadline=$((SECONDS + $3))
    # The program writes CR LF line ends.
    until { tr -d '\r' <"$1"; } 2>/dev/null | grep -qx "$2"; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "bench-wine: no '$2' within $3 s" >&2; return 1; }
        sleep 0.05
    done
}

# At 150% too: the prefix's DPI is set before its Wine server starts again, and put back.
startup_figures() {
    local dpi
    for dpi in ${STARTUP_DPIS:-96 144}; do
        echo "== start-up against a bare one-window program, $dpi DPI (load: $(cut -d' ' -f1-3 /proc/loadavg))"
        orvessa_wine_set_dpi "$dpi"
        orvessa_wine_env C.UTF-8
        wine "$bench/StartupBench.exe" "$(winepath -w "$build/app/Orvessa.exe")" \
            "$(winepath -w "$bench/BareWindow.exe")" "${STARTUP_RUNS:-30}" \
            "$(winepath -w "$bench/StepsWindow.exe")"
    done
    orvessa_wine_set_dpi 96
}
if [ "${1:-}" = startup ]; then
    startup_figures
    exit 0
fi

echo "== picture box repaint"
wine "$bench/PictureBench.exe" repaint

echo "== memory while showing a JPEG"
for args in "6000 4000" "6000 4000 progressive" "8660 5774" "20000 20000"; do
    # shellcheck disable=SC2086
    wine "$bench/PictureBench.exe" memory $args >"$out/mem" 2>/dev/null &
    job=$!
    wait_line "$out/mem" before 240
    # By its path: others on the machine may run a PictureBench of their own.
    pid=$(pid_of "$bench/PictureBench.exe memory")
    # The peak counts from here, not from making the picture: Linux resets it on "5".
    echo 5 >"/proc/$pid/clear_refs"
    base=$(rss_kb "$pid")
    wait_line "$out/mem" after 240
    peak=$(hwm_kb "$pid")
    wait "$job"
    tr -d '\r' <"$out/mem" | grep -v -x -e before -e after
    file_mb=$(tr -d '\r' <"$out/mem" | sed -n 's/.*(\([0-9.]*\) MB file).*/\1/p')
    set -- $args
    awk -v b="$base" -v p="$peak" -v w="$1" -v h="$2" -v f="$file_mb" 'BEGIN {
        printf "  resident set: peak rise while showing it %.1f MB = the file + %.1f MB, " \
               "%.3fx the picture'\''s 4 bytes per pixel\n",
               (p - b) * 1024 / 1e6, (p - b) * 1024 / 1e6 - f, (p - b) * 1024 / (4 * w * h) }'
done

echo "== CPU while a GIF plays in the box (10 s)"
hz=$(getconf CLK_TCK)
for mode in animate noframe; do
    wine "$bench/PictureBench.exe" "$mode" 10 >"$out/cpu" 2>/dev/null &
    job=$!
    wait_line "$out/cpu" ready 60
    server=$(pgrep -n wineserver || true)
    xvfb=$(pgrep -n -x Xvfb || true)
    s0=$(ticks "$server"); x0=$(ticks "$xvfb")
    wait_line "$out/cpu" measured 60
    s1=$(ticks "$server"); x1=$(ticks "$xvfb")
    wait "$job"
    tr -d '\r' <"$out/cpu" | grep -v -x -e ready -e measured
    awk -v s=$((s1 - s0)) -v x=$((x1 - x0)) -v hz="$hz" 'BEGIN {
        printf "  wine server %.2f%%, X server %.2f%% of one core\n", 100 * s / hz / 10, 100 * x / hz / 10 }'
done

startup_figures
