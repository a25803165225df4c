#!/usr/bin/env bash
# The 32-bit pass: builds the tool and its unit tests for 32-bit x86 Linux
# (-m32, static, without SSE2, as the 32-bit Windows exe's core), runs the
# unit tests and then the end-to-end tests with the tool under qemu-i386, and
# checks that it writes the same DATs and console text as the native build on
# examples/ and on MAME's whole collection, in both modes. Skipped, with the
# reason, where qemu-i386 or the 32-bit toolchain is missing.
# Usage: run_i386_tests.sh NATIVE_BUILD_DIR (holding softlist2dat)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native_build=$(cd "$1" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
build=$root/build/i386

qemu=$(command -v qemu-i386 || true)
if [ -z "$qemu" ]; then
    echo "SKIPPED: the 32-bit pass: no qemu-i386 (install qemu-user)"
    exit 0
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
if ! why=$(echo 'int main() { return 0; }' | g++ -m32 -static -x c++ -o "$probe/probe" - 2>&1 && "$qemu" "$probe/probe" 2>&1); then
    echo "SKIPPED: the 32-bit pass: no static 32-bit program builds and runs under qemu-i386 (install g++-multilib): $why"
    exit 0
fi

# Debian's googletest libraries are 64-bit only: build them for 32 bits from
# the sources libgtest-dev ships.
gtest=$root/build/gtest-i386
if [ ! -f "$gtest/install/lib/libgtest.a" ]; then
    cmake -S /usr/src/googletest -B "$gtest" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
        -DCMAKE_CXX_FLAGS=-m32 -DCMAKE_C_FLAGS=-m32 -DCMAKE_INSTALL_PREFIX="$gtest/install" >/dev/null
    cmake --build "$gtest" -j "$jobs" >/dev/null
    cmake --install "$gtest" >/dev/null
fi

# Only -m32 and -static are given: the large-file flags come from the project.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSOFTLIST2DAT_SCALAR=ON -DCMAKE_CXX_FLAGS=-m32 \
    -DCMAKE_EXE_LINKER_FLAGS=-static -DCMAKE_PREFIX_PATH="$gtest/install" -DCMAKE_CROSSCOMPILING_EMULATOR="$qemu"
cmake --build "$build" -j "$jobs"

echo "== unit and end-to-end tests of the 32-bit build under qemu-i386"
SOFTLIST2DAT_TOOL="$qemu $build/softlist2dat" ctest --test-dir "$build" --output-on-failure -j "$jobs" \
    -E '^(collection|dump_collection|install_and_manual_page|differential)$'

echo "== the 32-bit build's output against the native build's"
. "$root/tests/same_output.sh"
same_output "$native_build/softlist2dat" "$qemu $build/softlist2dat" "$root/examples"
same_output "$native_build/softlist2dat" "$qemu $build/softlist2dat" "$("$root/tests/collection/fetch_lists.sh")"
echo "i386: 2 passed, 0 failed"
