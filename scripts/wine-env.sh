#!/usr/bin/env bash
# The Wine prefix every GUI test and screenshot runs in.
#
# Source it for the functions, or run it:
#   scripts/wine-env.sh                      create the prefix if needed and print its path
#   scripts/wine-env.sh COMMAND [ARG...]     run COMMAND with the test prefix's environment
#
# The prefix lives in a cache folder outside the tree and is made once, then reused:
#   ${ORVESSA_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-wine}/prefix
# A stamp with the Wine version and the settings below makes it rebuild when either changes.
#
# One prefix serves every locale: Wine takes each process's ANSI code page from the Unix
# locale it was started under (LC_ALL=zh_CN.GBK gives 936, C.UTF-8 gives 1252), even with
# processes of both kinds on one Wine server at the same time, and a child started with
# CreateProcess inherits its parent's. What cannot be shared is the desktop: keyboard focus
# and the foreground window are per desktop, so tests that type must run one at a time.

# Bump when the settings below change, so existing prefixes are rebuilt.
ORVESSA_WINE_SETTINGS=4

orvessa_wine_cache_dir() {
    printf '%s\n' "${ORVESSA_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvessa-wine}"
}

# Exports the environment of the test prefix. With an argument, also sets the locale
# (LC_ALL) that decides the code page of every Wine process started from here.
# ORVESSA_WINE_LANE=2 picks a second prefix, a copy of the first with a Wine server and desktop
# of its own, so that a second run of cases can go side by side on a screen of its own.
orvessa_wine_env() {
    WINEPREFIX="$(orvessa_wine_cache_dir)/prefix"
    if [ "${ORVESSA_WINE_LANE:-1}" = 2 ]; then WINEPREFIX=$WINEPREFIX-2; fi
    # A 32-bit prefix: the program is 32-bit and Debian's wine32 runs it without WoW64.
    WINEARCH=win32
    # No Mono or Gecko install prompts, and no desktop menu entries written into $HOME.
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    # Wine's own chatter would bury the driver's PASS and FAIL lines; errors from the
    # program under test are still reported by the driver through exit codes and checks.
    WINEDEBUG=${ORVESSA_WINEDEBUG:--all}
    export WINEPREFIX WINEARCH WINEDLLOVERRIDES WINEDEBUG
    if [ "$#" -gt 0 ]; then
        LC_ALL=$1
        export LC_ALL
        if [ -f "$WINEPREFIX/.orvessa-stamp" ]; then orvessa_wine_font_links; fi
    fi
}

# The default GUI font has no Chinese glyphs of its own; as on Windows, font linking supplies
# them from a Chinese font, here the one the set-up installs. Without it a Western code page
# draws the Chinese captions as empty boxes. Wine writes its own links over these whenever a
# process starts under another code page than the one before, so after such a switch (the
# prefix remembers the last one) they are written again, by a process of the new code page.
# A Chinese code page finds the font by its character set and keeps Wine's links.
orvessa_wine_font_links() {
    local acp=1252 last=$WINEPREFIX/.orvessa-code-page face
    case "${LC_ALL:-}" in zh_CN.GBK | zh_CN.gbk) acp=936 ;; esac
    [ "$(cat "$last" 2>/dev/null)" = "$acp" ] && return 0
    if [ "$acp" != 936 ]; then
        for face in "Tahoma" "MS Shell Dlg" "Microsoft Sans Serif"; do
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
        done
    fi
    printf '%s\n' "$acp" >"$last"
}

orvessa_wine_stamp_text() {
    printf 'wine=%s settings=%s\n' "$(wine --version)" "$ORVESSA_WINE_SETTINGS"
}

# Creates the prefix unless a matching one exists. Safe to call from parallel runs.
orvessa_wine_prefix_ready() {
    orvessa_wine_env
    local cache stamp
    cache=$(orvessa_wine_cache_dir)
    stamp=$(orvessa_wine_stamp_text)
    mkdir -p "$cache"
    if [ "${ORVESSA_WINE_LANE:-1}" = 2 ]; then
        (ORVESSA_WINE_LANE=1 orvessa_wine_prefix_ready)
        orvessa_wine_env
    fi
    (
        flock 9
        if [ -f "$WINEPREFIX/.orvessa-stamp" ] && [ "$(cat "$WINEPREFIX/.orvessa-stamp")" = "$stamp" ]; then
            exit 0
        fi
        if [ "${ORVESSA_WINE_LANE:-1}" = 2 ]; then
            # A copy takes seconds where making a prefix takes a minute. Wine saves its registry
            # by renaming a finished file, so a copy taken while the first lane runs is whole.
            wineserver -k 2>/dev/null || true
            rm -rf "$WINEPREFIX"
            cp -a "$cache/prefix" "$WINEPREFIX"
            rm -f "$WINEPREFIX/.orvessa-case-running"
            exit 0
        fi
        echo "wine-env: creating the test prefix in $WINEPREFIX" >&2
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
        # Created without a display: nothing here needs one, and no progress window can hang.
        env -u DISPLAY LC_ALL=C.UTF-8 wineboot -i >"$cache/wineboot.log" 2>&1
        # The Wine virtual desktop as the prefix default, rather than `wine explorer /desktop=`,
        # so that `wine program.exe` still returns the program's exit code; it also gives
        # windows real frames and activation without an X window manager. No crash dialog
        # waiting for a click. No browser: a web address the program hands to the shell must
        # not open anything on the host.
        cat >"$cache/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

REG
        env -u DISPLAY LC_ALL=C.UTF-8 wine regedit /S "$(winepath -w "$cache/settings.reg" 2>/dev/null)" \
            >>"$cache/wineboot.log" 2>&1
        (unset DISPLAY; LC_ALL=C.UTF-8 orvessa_wine_font_links)
        # Wine draws the title-bar buttons with its Marlett font; Debian ships it apart from Wine
        # (fonts-wine), and a prefix only finds it in its own Fonts folder.
        if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
            cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
        fi
        wineserver -w
        # Each Wine version writes a caption height of its own; remembered, so that a run
        # without one goes back to it rather than to another version's value.
        orvessa_wine_caption_value >"$WINEPREFIX/.orvessa-caption-default"
        printf '%s\n' "$stamp" >"$WINEPREFIX/.orvessa-stamp"
    ) 9>"$cache/prefix.lock"
}

# What follows "NAME"= in the key SECTION of the prefix's saved user registry (SECTION as
# user.reg spells it, backslashes doubled); empty when there is none.
orvessa_wine_reg_value() {
    SECTION="[$1]" NAME="\"$2\"=" awk '
        index($0, "[") == 1 { m = index($0, ENVIRON["SECTION"]) == 1 }
        m && index($0, ENVIRON["NAME"]) == 1 { print substr($0, length(ENVIRON["NAME"]) + 1) }' \
        "$WINEPREFIX/user.reg"
}

# Puts LINE in place of the line of "NAME" in the key SECTION of the prefix's saved user
# registry, or removes that line when LINE is empty. Wine reads the registry once, when its
# server starts, so the server is stopped first and the file written for the next start.
orvessa_wine_set_reg() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    python3 - "$WINEPREFIX/user.reg" "$@" <<'PY'
import re, sys
path, section, name, line = sys.argv[1:]
text = open(path, encoding="utf-8").read()
head = re.search(r'^\[%s\][^\n]*\n' % re.escape(section), text, re.M)
if head is None:
    text += '\n[%s]\n%s\n' % (section, line) if line else ''
else:
    end = text.find('\n[', head.end())
    end = len(text) if end < 0 else end + 1
    kept = [l for l in text[head.end():end].split('\n') if l and not l.startswith('"%s"=' % name)]
    text = text[:head.end()] + '\n'.join(kept + ([line] if line else []) + ['', '']) + text[end:]
open(path, "w", encoding="utf-8").write(text)
PY
}

# Sets the screen's DPI of the test prefix (HKCU\Control Panel\Desktop, LogPixels) for the
# next Wine start. Every run names its DPI (96 by default), so no run inherits another's.
orvessa_wine_set_dpi() {
    local dpi=${1:-96} current
    orvessa_wine_env
    # What the prefix holds now (none means 96); most runs find it right and change nothing.
    current=$(orvessa_wine_reg_value 'Control Panel\\Desktop' LogPixels)
    current=${current#dword:}
    [ "$((16#${current:-60}))" = "$dpi" ] && return 0
    orvessa_wine_set_reg 'Control Panel\\Desktop' LogPixels "$(printf '"LogPixels"=dword:%08x' "$dpi")"
}

# The caption height the test prefix holds (HKCU\Control Panel\Desktop\WindowMetrics,
# CaptionHeight), as written there; empty when there is none.
orvessa_wine_caption_value() {
    orvessa_wine_reg_value 'Control Panel\\Desktop\\WindowMetrics' CaptionHeight | tr -d '"'
}

# Sets the caption height of the test prefix (in negative twips, as Windows writes it) for
# the next Wine start, in pixels; none gives back the value Wine wrote when it made the
# prefix (18 under Wine 8, more under Wine 10). As with the DPI, every run names its value.
orvessa_wine_set_caption_height() {
    local pixels=${1:-} value
    orvessa_wine_env
    if [ -n "$pixels" ]; then
        value="-$((pixels * 15))"
    else
        value=$(cat "$WINEPREFIX/.orvessa-caption-default" 2>/dev/null || true)
    fi
    [ "$(orvessa_wine_caption_value)" = "$value" ] && return 0
    orvessa_wine_set_reg 'Control Panel\\Desktop\\WindowMetrics' CaptionHeight \
        "${value:+\"CaptionHeight\"=\"$value\"}"
}

# Ends every process of the test prefix, the Wine server included.
orvessa_wine_kill() {
    orvessa_wine_env
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    orvessa_wine_prefix_ready
    if [ "$#" -eq 0 ]; then
        printf '%s\n' "$WINEPREFIX"
    else
        exec "$@"
    fi
fi
