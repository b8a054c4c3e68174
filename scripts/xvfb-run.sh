#!/usr/bin/env bash
# Runs one command on a private Xvfb screen and tears everything down afterwards.
#
#   scripts/xvfb-run.sh COMMAND [ARG...]
#
# Xvfb picks a free display itself (-displayfd), so parallel runs never collide on a
# display number. The screen is 1024x768x24, the size every GUI test assumes. On the way
# out, whatever happened, the Wine server of the test prefix is stopped first (its windows
# live on this display) and then Xvfb. The command's exit code is passed through.
set -euo pipefail

if [ "$#" -eq 0 ]; then
    echo "usage: $0 COMMAND [ARG...]" >&2
    exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"

workdir=$(mktemp -d "${TMPDIR:-/tmp}/orvessa-xvfb.XXXXXX")
xvfb_pid=

cleanup() {
    # Ending Wine before the X server spares its processes an X connection error on the way down.
    orvessa_wine_kill || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

: >"$workdir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
    3>"$workdir/display" >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!

# Xvfb writes the display number once it accepts connections.
deadline=$((SECONDS + 20))
while [ ! -s "$workdir/display" ]; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "xvfb-run: Xvfb exited before it was ready:" >&2
        cat "$workdir/xvfb.log" >&2
        exit 1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
        echo "xvfb-run: Xvfb gave no display number within 20 s" >&2
        exit 1
    fi
    sleep 0.1
done
DISPLAY=":$(tr -d '[:space:]' <"$workdir/display")"
export DISPLAY

set +e
"$@"
status=$?
set -e
exit "$status"
