# shellcheck shell=bash
# Debian package checks shared by the scripts. Source it:
#   orvessa_missing_packages PACKAGE...        prints those not installed, one a line
#   orvessa_install_packages TAG PACKAGE...    installs those not installed, saying so as TAG;
#                                              adds the i386 architecture first if needed
#   orvessa_clang_runtime                      prints the package of the release's clang runtime

orvessa_missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || printf '%s\n' "$p"
    done
}

orvessa_install_packages() {
    local tag=$1
    shift
    local missing
    mapfile -t missing < <(orvessa_missing_packages "$@")
    [ "${#missing[@]}" -gt 0 ] || return 0
    echo "$tag: installing ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# The sanitizer and libFuzzer runtime of the release's default clang; its package name carries
# clang's major version: 14 on Debian 12, 19 on Debian 13 (where scripts/wine10.sh runs).
orvessa_clang_runtime() {
    local codename
    codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    case "$codename" in
    trixie) echo libclang-rt-19-dev ;;
    *) echo libclang-rt-14-dev ;;
    esac
}
