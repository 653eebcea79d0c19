#!/bin/sh
# Makes the README's picture of the access report page, docs/report.png:
# runs /report on a scratch copy of the sample store (scripts/run-sample.sh
# builds the tool and makes the copy) and takes a headless browser's
# screenshot of the page.
set -e
cd "$(dirname "$0")/.."
. scripts/need.sh
need_packages chromium fonts-noto-cjk
work=$(mktemp -d "${TMPDIR:-/tmp}/ravshot.XXXXXX")
trap 'rm -rf "$work"' EXIT
TMPDIR=$work scripts/run-sample.sh /report >/dev/null
page=$(ls "$work"/ravsample.*/run/report*.html)
# The picture shows no path of the machine it was made on.
sed -i 's|"data":"[^"]*"|"data":"sample/store/data"|' "$page"
sandbox=""
[ "$(id -u)" -ne 0 ] || sandbox=--no-sandbox
chromium --headless $sandbox --disable-gpu --no-first-run --hide-scrollbars \
  --user-data-dir="$work/profile" --window-size=1200,470 \
  --screenshot="$(pwd)/docs/report.png" "file://$page" 2>/dev/null
echo "wrote docs/report.png"
