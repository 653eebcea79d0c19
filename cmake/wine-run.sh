#!/bin/sh
# Runs a Windows test binary under Wine with the ANSI code page 932.
# The prefix lives in the build folder (the current directory of ctest).
set -e
: "${WINEPREFIX:=$(pwd)/wineprefix}"
export WINEPREFIX
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
