#!/usr/bin/env bash
# Takes a picture of Orvessa's main window as it looks at start. Builds nothing.
#
#   scripts/screenshot.sh [--dpi N] PROGRAM.exe OUTPUT.png [DRIVER.exe]
#
# --dpi sets the screen's DPI for the run (96 by default; 144 is 150%, 192 is 200%).
# Runs in the test prefix under zh_CN.GBK on its own Xvfb screen. DRIVER.exe is the GUI test
# driver (OrvessaGuiTests.exe), used to wait until the window is shown and painted and to
# learn where it is; by default it is looked for in the build tree beside the program
# (build/windows/app/Orvessa.exe -> build/windows/tests/wine/OrvessaGuiTests.exe).
# The picture is cropped to the window's outer rectangle.
set -euo pipefail

dpi=96
if [ "${1:-}" = "--dpi" ]; then
    dpi=${2:?--dpi needs a number}
    shift 2
fi
if [ "$#" -lt 2 ] || [ "$#" -gt 3 ]; then
    echo "usage: $0 [--dpi N] PROGRAM.exe OUTPUT.png [DRIVER.exe]" >&2
    exit 2
fi
program=$(realpath "$1")
output=$(realpath -m "$2")
driver=${3:-$(dirname "$program")/../tests/wine/OrvessaGuiTests.exe}
if [ ! -f "$driver" ]; then
    echo "screenshot: no test driver at $driver; build it or name it as the third argument" >&2
    exit 1
fi
driver=$(realpath "$driver")
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${ORVESSA_SCREENSHOT_DISPLAY_READY:-}" ]; then
    ORVESSA_SCREENSHOT_DISPLAY_READY=1 exec "$here/xvfb-run.sh" "$0" --dpi "$dpi" "$program" "$output" "$driver"
fi

# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
orvessa_wine_prefix_ready
orvessa_wine_set_dpi "$dpi"
# Wine's own caption height, whatever a tall-caption test run left in the prefix.
orvessa_wine_set_caption_height
orvessa_wine_env zh_CN.GBK

program_pid=
finish() {
    orvessa_wine_kill
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
}
trap finish EXIT

wine "$program" >/dev/null 2>&1 &
program_pid=$!

geometry=$(wine "$driver" --wait-window 30000)
read -r left top width height <<<"$geometry"
import -window root -crop "${width}x${height}+${left}+${top}" +repage "$output"
echo "screenshot: $output (${width}x${height} at $left,$top)"
