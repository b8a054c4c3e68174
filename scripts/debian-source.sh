# shellcheck shell=bash
# Debian source package versions shared by the scripts. Source it:
#   orvessa_source_version PACKAGE UPSTREAM   prints the newest Debian version of source PACKAGE
#                                             whose upstream version is UPSTREAM among those the
#                                             deb-src lists serve; fails, saying so, if none is
# Point releases and security updates change the Debian revision (1.6.39-2+deb12u5 becomes
# +deb12u6) and the archive drops the old one, so the scripts pin the upstream version only.

orvessa_source_version() {
    local package=$1 upstream=$2 best="" version bare
    while read -r version; do
        bare=${version#*:}  # without the epoch
        bare=${bare%-*}     # without the Debian revision
        [ "$bare" = "$upstream" ] || continue
        if [ -z "$best" ] || dpkg --compare-versions "$version" gt "$best"; then
            best=$version
        fi
    done < <(apt-cache showsrc "$package" 2>/dev/null |
        awk -v p="$package" '/^Package: /{ours = ($2 == p)} ours && /^Version: /{print $2}')
    if [ -z "$best" ]; then
        echo "no source package $package $upstream is served (is deb-src enabled? run apt-get update)" >&2
        return 1
    fi
    echo "$best"
}
