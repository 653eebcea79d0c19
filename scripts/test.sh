#!/bin/sh
# Builds the Linux and the Windows tool and runs every test of both. What it
# needs and misses (the Windows leg: mingw-w64, Wine and the ja_JP.UTF-8
# locale, from which Wine takes its ANSI code page 932) it installs when run
# as root; otherwise it prints the one command to run and stops.
set -e
cd "$(dirname "$0")/.."
. scripts/need.sh
need_packages cmake g++ libgtest-dev acl attr e2fsprogs g++-mingw-w64-x86-64 \
  wine64 locales
need_japanese_locale

cmake --workflow --preset linux
cmake --workflow --preset windows
