#!/usr/bin/env bash
# Prints the directory holding MAME's software lists, downloading and unpacking
# the mame-data package into the cache first if it is not there yet.
set -euo pipefail
cache=${SOFTLIST2DAT_CACHE:-${XDG_CACHE_HOME:-${HOME:-/var/tmp}/.cache}/softlist2dat}
lists="$cache/mame-data/usr/share/games/mame/hash"
if [ ! -f "$cache/mame-data/.complete" ]; then
    mkdir -p "$cache"
    rm -rf "$cache/mame-data" "$cache"/mame-data_*.deb
    (cd "$cache" && apt-get download mame-data >&2)
    dpkg -x "$cache"/mame-data_*.deb "$cache/mame-data"
    touch "$cache/mame-data/.complete"
fi
echo "$lists"
