#!/bin/sh
# Runs /report on a scratch copy of the sample store and opens the page in
# headless Chromium without a network, once per address fragment: the dumped
# DOM must show the filtered matrix, the totals and the known cells, and the
# page must neither log anything (a script error, a blocked load) nor make a
# network request.
#
#   report_browser_test.sh TOOL SOURCE_DIR
set -e
tool=$1
src=$2
browser=/usr/bin/chromium
[ -x "$browser" ] || browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
  echo "chromium is not installed: skipping the report page test"
  exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/ravreport.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cp -r "$src/sample/store" "$scratch/store"
for f in "$scratch/store/install/Tenbo2Lib.ini" "$scratch/store/registry.reg"; do
  sed -i "s|@STORE@|$scratch/store|" "$f"
done
mkdir "$scratch/run"
# Exit code 1 is the tool's "done".
status=0
(cd "$scratch/run" &&
 RAVERAZARIDUVIVI_REGISTRY="$scratch/store/registry.reg" "$tool" /report) \
  >"$scratch/out" || status=$?
[ "$status" -eq 1 ] || { echo "/report ended with $status:"; cat "$scratch/out"; exit 1; }
page=$(ls "$scratch"/run/report*.html)

# The page is a local file: as root (CI) the browser gets a network
# namespace of its own with no interface up.
net=""
[ "$(id -u)" -eq 0 ] && net="unshare -n"

failed=0
fail() {
  printf 'fragment #%s: %s\n' "$frag" "$1"
  failed=1
}

# Dumps the DOM after the page settled into $scratch/dom; the browser's log
# and its network log go next to it.
open_page() {
  rm -f "$scratch/net.json"
  $net "$browser" --headless --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$scratch/profile" --window-size=1400,900 \
    --virtual-time-budget=5000 --enable-logging=stderr \
    --log-net-log="$scratch/net.json" --dump-dom "file://$page#$1" \
    >"$scratch/dom" 2>"$scratch/log" || fail "chromium failed: $(tail -3 "$scratch/log")"
}

# One line per drawn matrix row, starting with its user name.
drawn_rows() {
  sed 's/<tr data-user="/\n/g' "$scratch/dom" | sed -n 's/<\/tr>.*//; 2,$p'
}

check_attr() { # NAME EXPECTED
  grep -q "id=\"matrix\"[^>]* $1=\"$2\"" "$scratch/dom" ||
    fail "$1 is $(grep -o "id=\"matrix\"[^>]* $1=\"[^\"]*\"" "$scratch/dom" |
                  sed 's/.*="//; s/"$//'), not $2"
}

check_cell() { # USER:LIB/CAB:VALUE
  user=${1%%:*}
  rest=${1#*:}
  cab=${rest%:*}
  drawn_rows | grep "^$user\">" | grep -q "data-cab=\"$cab\" data-v=\"${rest##*:}\"" ||
    fail "cell $user $cab is not ${rest##*:}"
}

check_quiet() {
  ! grep ':CONSOLE' "$scratch/log" || fail "the page logged to the console"
  ! grep -q 'site=file://' "$scratch/net.json" || fail "the page made a network request"
}

check_totals() {
  for pair in libraries=3 cabinets=6 nolists=2 failed=0 users=6 unregistered=1; do
    grep -q "id=\"total-${pair%=*}\">${pair#*=}<" "$scratch/dom" ||
      fail "total ${pair%=*} is not ${pair#*=}"
  done
}

# fragment (- for none), rows, columns, then cells that must be drawn as
# user:library/cabinet:value. A cabinet without lists gives every registered
# user and admin RW, the general viewer R.
while read -r frag rows cols cells; do
  [ "$frag" = - ] && frag=""
  open_page "$frag"
  grep -q 'data-ready="1"' "$scratch/dom" || fail "the page did not get ready"
  check_attr data-rows "$rows"
  check_attr data-cols "$cols"
  for c in $cells; do check_cell "$c"; done
  check_quiet
  [ -n "$frag" ] || check_totals
done <<'EOF'
- 8 6 taro:営業部/見積書:W hanako:営業部/見積書:R admin:営業部/契約書:RW oldstaff:営業部/契約書: 一般閲覧者:Archive/Y2024:R jiro:Archive/Y2023:R ソニー:ソフト開発/ポータル:W taro:ソフト開発/ポータル:
user=TARO 1 6 taro:ソフト開発/表計算:R
unregistered=1 1 6 oldstaff:Archive/Y2023:R oldstaff:Archive/Y2024:
cabinet=%E8%A6%8B%E7%A9%8D 8 1 admin:営業部/見積書:RW
cabinet=archive%2F 8 2 表示係:Archive/Y2024:RW
library=Archive&user=%E4%B8%80%E8%88%AC 1 2 一般閲覧者:Archive/Y2023:
differ=1&library=%E3%82%BD%E3%83%95%E3%83%88%E9%96%8B%E7%99%BA 8 1 表示係:ソフト開発/ポータル:
differ=1 8 3 jiro:営業部/契約書:RW
changes=1 8 6
EOF
exit $failed
