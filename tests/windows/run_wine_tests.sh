#!/usr/bin/env bash
# The Windows builds: cross-compiles the 64-bit and 32-bit softlist2dat.exe
# with mingw-w64, runs the end-to-end tests with each under Wine (the 32-bit
# one under Wine's 32-bit loader), and checks that each writes the same DAT
# and console text as the Linux build on examples/, on lists whose names are
# outside any ANSI code page, and on MAME's whole collection.
# Usage: run_wine_tests.sh LINUX_BUILD_DIR (holding softlist2dat and tests/unit_tests)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
linux_build=$(cd "$1" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
wine=/usr/lib/wine/wine64

for arch in x86_64 i686; do
    cmake -S "$root" -B "$root/build/win-$arch" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake"
    cmake --build "$root/build/win-$arch" -j "$jobs"
done
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all
"$wine" wineboot --init >/dev/null 2>&1 || true

# Lists named in several scripts (and one with an emoji), beside the examples.
names=$(mktemp -d)
trap 'rm -rf "$names"' EXIT
cp "$root"/examples/*.xml "$names/"
cp "$root/examples/orbis_cass.xml" "$names/ümlaut_list.xml"
cp "$root/examples/zephyr8_cart.xml" "$names/日本_list.xml"
cp "$root/examples/orbis_cass.xml" "$names/🎮_list.xml"

. "$root/tests/same_output.sh"

collection=$("$root/tests/collection/fetch_lists.sh")
passed=0
for arch in x86_64 i686; do
    loader=$wine
    [ "$arch" = i686 ] && loader=/usr/lib/wine/wine
    if [ ! -x "$loader" ]; then
        echo "SKIPPED: the $arch build: no Wine loader $loader (install wine32:i386)"
        continue
    fi
    if ! why=$("$loader" --version 2>&1); then
        echo "SKIPPED: the $arch build: Wine's loader does not run on this machine: $why"
        continue
    fi
    windows="$loader $root/build/win-$arch/softlist2dat.exe"
    echo "== end-to-end tests with the $arch Windows build under Wine"
    SOFTLIST2DAT_TOOL="$windows" "$linux_build/tests/unit_tests" --gtest_filter='Run.*:Hostile.*' --gtest_brief=1
    echo "== the $arch Windows build's output against the Linux build's"
    same_output "$linux_build/softlist2dat" "$windows" "$root/examples"
    same_output "$linux_build/softlist2dat" "$windows" "$names"
    same_output "$linux_build/softlist2dat" "$windows" "$names" "listes_ü_日本"
    same_output "$linux_build/softlist2dat" "$windows" "$collection"
    passed=$((passed + 5))
done
echo "windows: $passed passed, 0 failed"
