#!/usr/bin/env bash
# Runs one case of the GUI test driver under Wine, in the given locale.
#
#   scripts/wine-test.sh LOCALE DRIVER.exe PROGRAM.exe TEST [PROBE.exe]
#
# PROBE.exe is the probe program the fault and file tests start; its library lies beside it.
# A TZ in the environment reaches every Wine process of the run, and each takes its time zone
# from it (not from the Wine server's), so the order-number tests run in the zone CTest sets.
# LOCALE is a Unix locale (zh_CN.GBK or C.UTF-8); it decides the ANSI code page of every
# Wine process of the run, and the driver checks that it got the one expected here.
# Uses the display in DISPLAY; without one it starts its own Xvfb for this run. The Wine
# server of the test prefix is stopped on the way out, so no test inherits windows, focus or
# processes from the one before; with ORVESSA_WINE_KEEP_SERVER=1 (as CTest runs the cases) it
# is kept for the next case while cases pass, which saves starting Wine and its desktop each
# time. The driver leaves nothing running after a case, and a case that fails, or was ended
# before it could say, stops the server, so the case after it starts on a fresh one.
set -euo pipefail

if [ "$#" -ne 4 ] && [ "$#" -ne 5 ]; then
    echo "usage: $0 LOCALE DRIVER.exe PROGRAM.exe TEST [PROBE.exe]" >&2
    exit 2
fi
locale_name=$1 driver=$2 program=$3 test_name=$4 probe=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

# The second lane has a prefix and a screen of its own (see xvfb-run.sh); without that screen
# its cases run in the first lane.
if [ "${ORVESSA_WINE_LANE:-1}" = 2 ]; then
    if [ -n "${ORVESSA_DISPLAY_2:-}" ]; then
        DISPLAY=$ORVESSA_DISPLAY_2
    else
        ORVESSA_WINE_LANE=1
    fi
fi
if [ -z "${DISPLAY:-}" ]; then
    exec "$here/xvfb-run.sh" "$0" "$@"
fi

# shellcheck source=wine-env.sh
. "$here/wine-env.sh"

# Code page that Wine gives a process started under each locale.
case "$locale_name" in
zh_CN.GBK | zh_CN.gbk) acp=936 ;;
C.UTF-8 | C.utf8) acp=1252 ;;
*)
    echo "wine-test: no known code page for locale $locale_name" >&2
    exit 2
    ;;
esac
# A locale the C library lacks falls back to C without a word, and the run would
# silently test the wrong code page.
if ! locale -a | grep -qix "$(printf '%s' "$locale_name" | sed 's/UTF-8/utf8/I')"; then
    echo "wine-test: locale $locale_name is not generated on this machine; run scripts/setup.sh" >&2
    exit 1
fi

orvessa_wine_prefix_ready
# The screen's DPI for this run: ORVESSA_DPI, which the DPI cases set, or 96.
orvessa_wine_set_dpi "${ORVESSA_DPI:-96}"
# The caption height in pixels: ORVESSA_CAPTION_HEIGHT, which the tall-caption case sets, or
# Wine's own.
orvessa_wine_set_caption_height "${ORVESSA_CAPTION_HEIGHT:-}"
orvessa_wine_env "$locale_name"
keep=${ORVESSA_WINE_KEEP_SERVER:-0}
# Present while a case runs on a kept server: found at the start, the case before was ended
# from outside (a CTest timeout) and its state may linger.
running=$WINEPREFIX/.orvessa-case-running
if [ "$keep" = 1 ]; then
    if [ -e "$running" ]; then orvessa_wine_kill; fi
    : >"$running"
    # A persistent server, unless one runs already; Wine's own processes that it starts with
    # the desktop leave CTest's output alone.
    wineserver -p </dev/null >/dev/null 2>&1 || true
else
    trap orvessa_wine_kill EXIT
fi

# Wine maps the Unix root to drive Z:.
to_windows() {
    local path
    path=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    printf 'Z:%s' "${path//\//\\}"
}

probe_args=()
if [ -n "$probe" ]; then
    probe_args=(--probe "$(to_windows "$probe")")
fi
args=(--program "$(to_windows "$program")" "${probe_args[@]}" --acp "$acp" "$test_name")
if [ "$keep" != 1 ]; then
    wine "$driver" "${args[@]}"
    exit 0
fi
# The driver writes to a file, shown as it grows: a Wine process that outlives the case (the
# desktop, a service) holds that file and not CTest's pipe, which CTest would wait on.
log=$(mktemp "${TMPDIR:-/tmp}/orvessa-case.XXXXXX")
wine "$driver" "${args[@]}" >"$log" 2>&1 &
driver_pid=$!
tail -n +1 -f --pid="$driver_pid" "$log"
status=0
wait "$driver_pid" || status=$?
rm -f "$log"
if [ "$status" != 0 ]; then orvessa_wine_kill; fi
rm -f "$running"
exit "$status"
