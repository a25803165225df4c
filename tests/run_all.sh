#!/usr/bin/env bash
# Builds softlist2dat and runs every test: the release build's unit, end-to-end
# and collection tests and runs at once on MAME's lists, the same under AddressSanitizer and UBSan, the unit
# and end-to-end tests of the build without SSE2, the 32-bit build's under
# qemu-i386 (and its DATs of MAME's lists against the release build's), the
# end-to-end and collection tests under ThreadSanitizer, a short fuzzing run,
# the Windows builds (both under Wine: 64-bit and 32-bit), and the
# packages. Build trees and packages go under build/ in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${SOFTLIST2DAT_FUZZ_SECONDS:-60}

echo "== release build: unit, end-to-end and collection tests"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== runs at once on MAME's lists (a short pass: the script's defaults run 8 at once, 20 times)"
python3 bench/runs_at_once.py build/release/softlist2dat --runs 4 --times 2

echo "== sanitizer build (ASan + UBSan): the same tests"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DSOFTLIST2DAT_SANITIZE=ON
cmake --build build/sanitize -j "$jobs"
ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

echo "== scalar build (no SSE2, as the 32-bit Windows build): unit and end-to-end tests"
cmake -S . -B build/scalar -DCMAKE_BUILD_TYPE=Release -DSOFTLIST2DAT_SCALAR=ON
cmake --build build/scalar -j "$jobs"
ctest --test-dir build/scalar --output-on-failure -j "$jobs" -E '^(collection|dump_collection|install_and_manual_page|differential)$'

echo "== 32-bit build (-m32, static, no SSE2) under qemu-i386"
tests/i386/run_i386_tests.sh build/release

echo "== thread sanitizer build: the end-to-end and collection tests (the copy runs beside the scan)"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOFTLIST2DAT_TSAN=ON
cmake --build build/tsan -j "$jobs"
ctest --test-dir build/tsan --output-on-failure -j "$jobs" -R '^(Run|Hostile)\.|^collection$'

echo "== fuzzing the scan for ${fuzz_seconds} s"
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSOFTLIST2DAT_FUZZ=ON -DSOFTLIST2DAT_TESTS=OFF
cmake --build build/fuzz -j "$jobs" --target fuzz_scan
rm -rf build/fuzz/corpus && mkdir -p build/fuzz/corpus
build/fuzz/fuzz/fuzz_scan -max_total_time="$fuzz_seconds" -max_len=16384 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/ build/fuzz/corpus fuzz/corpus 2>&1 | tail -n 12
echo "fuzz: 1 passed, 0 failed"

echo "== Windows builds"
tests/windows/run_wine_tests.sh build/release

echo "== packages: the .deb and the two Windows zips"
tests/packages/check_packages.sh build/release
