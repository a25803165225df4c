#!/usr/bin/env bash
# The Windows builds: cross-compiles the 64-bit and 32-bit softlist2dat.exe
# with mingw-w64, runs the end-to-end tests with the 64-bit one under Wine,
# and checks that it writes the same DAT and console text as the Linux build
# on examples/ and on MAME's whole collection.
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
exe="$root/build/win-x86_64/softlist2dat.exe"

export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all
"$wine" wineboot --init >/dev/null 2>&1 || true

echo "== end-to-end tests with the Windows build under Wine"
SOFTLIST2DAT_TOOL="$wine $exe" "$linux_build/tests/unit_tests" --gtest_filter='Run.*:Hostile.*' --gtest_brief=1

# Runs both builds on copies of the *.xml files in $1 and compares every byte.
same_as_linux() {
    local lists=$1 work
    work=$(mktemp -d)
    mkdir "$work/linux" "$work/windows"
    cp "$lists"/*.xml "$work/linux/"
    cp "$lists"/*.xml "$work/windows/"
    (cd "$work/linux" && "$linux_build/softlist2dat" >../linux.out 2>../linux.err; echo $? >../linux.status)
    (cd "$work/windows" && "$wine" "$exe" >../windows.out 2>../windows.err; echo $? >../windows.status)
    local verdict=0
    for file in linux/all_mess_software_lists.dat:windows/all_mess_software_lists.dat \
                linux.out:windows.out linux.err:windows.err linux.status:windows.status; do
        cmp "$work/${file%%:*}" "$work/${file##*:}" || verdict=1
    done
    [ "$verdict" = 0 ] && echo "identical: $(ls "$lists"/*.xml | wc -l) lists from $lists, $(wc -c <"$work/linux/all_mess_software_lists.dat") DAT bytes"
    rm -rf "$work"
    return $verdict
}

echo "== the Windows build's output against the Linux build's"
same_as_linux "$root/examples"
same_as_linux "$("$root/tests/collection/fetch_lists.sh")"
echo "windows: 3 passed, 0 failed"
