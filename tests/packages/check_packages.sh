#!/usr/bin/env bash
# The packages: makes the Debian package from the Linux build and the two
# Windows zips from the Windows builds (build/win-x86_64, build/win-i686, as
# tests/windows/run_wine_tests.sh leaves them), checks what each holds, runs
# lintian on the .deb (any error fails; warnings are shown), and converts
# examples/ with the unpacked binaries: each DAT must equal the build tree's.
# Usage: check_packages.sh LINUX_BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
linux_build=$(cd "$1" && pwd)
out="$root/build/packages"
version=$(sed -n 's/^project(softlist2dat .*VERSION \([0-9.]*\)).*/\1/p' "$root/CMakeLists.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

rm -rf "$out"
cpack --config "$linux_build/CPackConfig.cmake" -B "$out" >/dev/null
for arch in x86_64 i686; do
    cpack --config "$root/build/win-$arch/CPackConfig.cmake" -B "$out" >/dev/null
done

# Converts a fresh copy of examples/ in $work/$1 with the command that follows.
convert_examples() {
    local where=$work/$1
    shift
    mkdir "$where"
    cp "$root"/examples/*.xml "$where/"
    (cd "$where" && "$@" >/dev/null) || fail "$* did not convert examples/ in $where"
}
convert_examples reference "$linux_build/softlist2dat"
same_dat() {
    cmp "$work/reference/all_mess_software_lists.dat" "$work/$1/all_mess_software_lists.dat" ||
        fail "the DAT made by $2 differs from the build tree's"
}

echo "== the Debian package"
deb="$out/softlist2dat_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"
dpkg-deb -x "$deb" "$work/deb"
for file in usr/bin/softlist2dat usr/share/man/man1/softlist2dat.1.gz usr/share/doc/softlist2dat/copyright \
            usr/share/doc/softlist2dat/changelog.gz; do
    [ -f "$work/deb/$file" ] || fail "the .deb holds no $file"
done
convert_examples from-deb "$work/deb/usr/bin/softlist2dat"
same_dat from-deb "the .deb's binary"
report=$(lintian "$deb" 2>&1 | grep -v '^running with root privileges' || true)
[ -z "$report" ] || echo "$report"
if grep -q '^E:' <<<"$report"; then
    fail "lintian reports errors"
fi
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends); lintian: no error"

echo "== the Windows zips"
for suffix in win64 win32; do
    zip="$out/softlist2dat-$version-$suffix.zip"
    [ -f "$zip" ] || fail "no $zip"
    python3 -m zipfile -e "$zip" "$work/$suffix"
    held=$(cd "$work/$suffix" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
    [ "$held" = "LICENSE.txt README.txt softlist2dat.exe softlist2dat.txt " ] ||
        fail "$(basename "$zip") holds: $held"
    grep -q 'SOFTLIST2DAT(1)' "$work/$suffix/softlist2dat.txt" || fail "$(basename "$zip"): no manual text"
    echo "$(basename "$zip"): $held"
done
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all
convert_examples from-win64 /usr/lib/wine/wine64 "$work/win64/softlist2dat.exe"
same_dat from-win64 "the win64 zip's softlist2dat.exe under Wine"
echo "packages: 3 passed, 0 failed"
