#!/usr/bin/env bash
# Runs one command on a private Xvfb screen and tears everything down afterwards.
#
#   scripts/xvfb-run.sh [--second-screen] COMMAND [ARG...]
#
# Xvfb picks a free display itself (-displayfd), so parallel runs never collide on a
# display number. The screen is 1024x768x24, the size every GUI test assumes. With
# --second-screen a second Xvfb starts too, its display in ORVESSA_DISPLAY_2, for the second
# lane of Wine cases (ORVESSA_WINE_LANE=2 in wine-env.sh). On the way out, whatever happened,
# the Wine servers of the test prefixes are stopped first (their windows live on these
# displays) and then Xvfb. The command's exit code is passed through.
set -euo pipefail

second=0
if [ "${1:-}" = --second-screen ]; then
    second=1
    shift
fi
if [ "$#" -eq 0 ]; then
    echo "usage: $0 [--second-screen] COMMAND [ARG...]" >&2
    exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"

workdir=$(mktemp -d "${TMPDIR:-/tmp}/orvessa-xvfb.XXXXXX")
xvfb_pids=()

cleanup() {
    # Ending Wine before the X server spares its processes an X connection error on the way down.
    orvessa_wine_kill || true
    if [ "$second" = 1 ]; then (ORVESSA_WINE_LANE=2 orvessa_wine_kill) || true; fi
    local pid
    for pid in "${xvfb_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts an Xvfb that writes its display number to $workdir/$1 once it accepts connections.
start_xvfb() {
    : >"$workdir/$1"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$workdir/$1" >"$workdir/$1.log" 2>&1 &
    xvfb_pids+=($!)
}

wait_display() {
    local deadline=$((SECONDS + 20)) pid=$2
    while [ ! -s "$workdir/$1" ]; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "xvfb-run: Xvfb exited before it was ready:" >&2
            cat "$workdir/$1.log" >&2
            exit 1
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "xvfb-run: Xvfb gave no display number within 20 s" >&2
            exit 1
        fi
        sleep 0.1
    done
    printf ':%s' "$(tr -d '[:space:]' <"$workdir/$1")"
}

start_xvfb display
if [ "$second" = 1 ]; then start_xvfb display2; fi
DISPLAY=$(wait_display display "${xvfb_pids[0]}")
export DISPLAY
if [ "$second" = 1 ]; then
    ORVESSA_DISPLAY_2=$(wait_display display2 "${xvfb_pids[1]}")
    export ORVESSA_DISPLAY_2
fi

set +e
"$@"
status=$?
set -e
exit "$status"
