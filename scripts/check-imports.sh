#!/usr/bin/env bash
# Fails when a program imports a DLL that Windows itself does not provide (the program must
# run from its own file alone), imports a crypto function (calling one loads the crypto
# provider's libraries; a static constructor that does, as the compiler's canary runtime did,
# loads them before the program narrows the library search), or is linked for a subsystem
# older than 6.0 (Windows then treats it as a pre-Vista program and gives it old frame metrics).
#   scripts/check-imports.sh PROGRAM.exe
set -euo pipefail
allowed='^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|user32)\.dll$'
status=0
while read -r dll; do
    if ! printf '%s\n' "$dll" | tr '[:upper:]' '[:lower:]' | grep -Eq "$allowed"; then
        echo "check-imports: $1 imports $dll, which Windows does not provide" >&2
        status=1
    fi
done < <(i686-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p')
# SystemFunction036 is RtlGenRandom, which loads cryptbase.dll.
while read -r dll function; do
    echo "check-imports: $1 imports $function from $dll, which loads the crypto libraries" >&2
    status=1
done < <(i686-w64-mingw32-objdump -p "$1" |
    awk '/DLL Name:/ { dll = $3 } dll && NF == 3 && $3 ~ /^(B|N)?Crypt|^SystemFunction036$/ { print dll, $3 }')
major=$(i686-w64-mingw32-objdump -p "$1" | sed -n 's/^MajorSubsystemVersion\s*//p')
if [ "${major:-0}" -lt 6 ]; then
    echo "check-imports: $1 is linked for subsystem version ${major:-?}, not 6 or later" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "check-imports: $(basename "$1") needs only system DLLs and no crypto, subsystem $major"
exit "$status"
