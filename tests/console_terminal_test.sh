#!/bin/sh
# Runs the Windows tool under Wine on a pseudo-terminal (script(1)), where
# Wine gives it a console: as it starts, and after "chcp 65001", its
# message must reach the terminal as text (Wine writes UTF-8 there). The
# golden cases see the CP932 bytes that go into a pipe.
#
#   console_terminal_test.sh WINE_RUN TOOL
set -e
wine_run=$1
tool=Z:$(printf '%s' "$2" | tr / '\\')
# A prefix of its own holds no App Paths key, so the message is known.
WINEPREFIX="$(pwd)/wineprefix-console"
export WINEPREFIX
want='エラー：Tenbo クライアントサーバがインストールされていません。'
for line in "'$tool'" "cmd /c 'chcp 65001 >nul & $tool'"; do
  out=$(script -qec "$wine_run $line" /dev/null |
        sed 's/\x1b\[[?0-9;]*[A-Za-z]//g' | tr -d '\r')
  case $out in
    *"$want"*) ;;
    *) printf 'run: %s\ngot: %s\n' "$line" "$out"; exit 1 ;;
  esac
done
