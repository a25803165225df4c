#!/usr/bin/env bash
# Installs, with apt-get (as root, or through sudo), everything the build and
# every test need on a fresh Debian machine.
set -euo pipefail
as_root=""
[ "$(id -u)" = 0 ] || as_root=sudo
export DEBIAN_FRONTEND=noninteractive
# Wine's 32-bit loader (wine32) comes from the i386 architecture. The 32-bit
# Linux build needs g++-multilib and runs under qemu-user's qemu-i386; its
# googletest is built from the sources libgtest-dev ships.
dpkg --print-foreign-architectures | grep -qx i386 || $as_root dpkg --add-architecture i386
$as_root apt-get update -qq
$as_root apt-get install -y -qq cmake g++ make libgtest-dev libbenchmark-dev python3 clang libclang-rt-14-dev \
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 wine32:i386 groff-base dpkg-dev file lintian \
    g++-multilib qemu-user >/dev/null
# MAME itself, whose dumps of its lists (-listsoftware) the collection test
# reads; without its recommended extras.
$as_root apt-get install -y -qq --no-install-recommends mame >/dev/null
# Node.js for the DAT client check; keep one that is already installed.
command -v npm >/dev/null || $as_root apt-get install -y -qq nodejs npm >/dev/null
# The independent DAT parser, at the version package-lock.json pins.
(cd "$(dirname "$0")/dat_client" && npm ci --no-audit --no-fund --silent)
