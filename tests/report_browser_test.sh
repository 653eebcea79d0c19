#!/bin/sh
# Runs /report on a scratch copy of the sample store, then /report /since
# after two changes, and opens each page in headless Chromium without a
# network, once per address fragment: the dumped DOM must show the filtered
# matrix, the totals and the known cells, and the page must neither log
# anything (a script error, a blocked load) nor make a network request.
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

# Runs the tool on the copy; exit code 1 is its "done".
run_tool() {
  status=0
  (cd "$scratch/run" &&
   RAVERAZARIDUVIVI_REGISTRY="$scratch/store/registry.reg" "$tool" "$@") \
    >"$scratch/out" || status=$?
  [ "$status" -eq 1 ] || { echo "$* ended with $status:"; cat "$scratch/out"; exit 1; }
}

# The page is a local file: as root (CI) the browser gets a network
# namespace of its own with no interface up.
net=""
[ "$(id -u)" -eq 0 ] && net="unshare -n"

failed=0
fail() {
  printf '%s#%s: %s\n' "${page##*/}" "$frag" "$1"
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
    </dev/null >"$scratch/dom" 2>"$scratch/log" || fail "chromium failed: $(tail -3 "$scratch/log")"
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

check_cell() { # USER:LIB/CAB:VALUE, a "*" after the value for a changed cell
  user=${1%%:*}
  rest=${1#*:}
  cab=${rest%:*}
  value=${rest##*:}
  want="data-cab=\"$cab\" data-v=\"${value%\*}\""
  [ "$value" = "${value%\*}" ] || want="$want data-changed=\"1\""
  drawn_rows | grep "^$user\">" | grep -q "$want" || fail "cell $user $cab is not $value"
}

check_quiet() {
  ! grep ':CONSOLE' "$scratch/log" || fail "the page logged to the console"
  ! grep -q 'site=file://' "$scratch/net.json" || fail "the page made a network request"
}

check_totals() { # NAME=COUNT...
  for pair in "$@"; do
    grep -q "id=\"total-${pair%=*}\">${pair#*=}<" "$scratch/dom" ||
      fail "total ${pair%=*} is not ${pair#*=}"
  done
}

# Opens the newest report once per line of stdin: fragment (- for none),
# rows, columns, then cells that must be drawn as user:library/cabinet:value.
# Without fragment the page must show the totals given as arguments.
check_cases() {
  page=$(ls "$scratch"/run/report*.html | tail -1)
  while read -r frag rows cols cells; do
    [ "$frag" = - ] && frag=""
    open_page "$frag"
    grep -q 'data-ready="1"' "$scratch/dom" || fail "the page did not get ready"
    check_attr data-rows "$rows"
    check_attr data-cols "$cols"
    for c in $cells; do check_cell "$c"; done
    check_quiet
    [ -n "$frag" ] || check_totals "$@"
  done
}

# A cabinet without lists gives every registered user and admin RW, the
# general viewer R; "changes" means nothing without an earlier report.
run_tool /report
check_cases libraries=3 cabinets=6 nolists=2 failed=0 users=6 unregistered=1 <<'EOF'
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

# Against that report: jiro gains RW on 見積書 and taro loses his W there;
# 契約書 has no lists, so /set leaves it as it was.
stamp=$(basename "$page" .html | sed 's/^report//')
run_tool /set /rw jiro 営業部
run_tool /set /none taro 営業部
sleep 1 # a report is named by its second
run_tool /report /since "$stamp"
check_cases changed=2 added=0 gone=0 cabinets=6 <<'EOF'
- 8 6 jiro:営業部/見積書:RW* taro:営業部/見積書:* hanako:営業部/見積書:R jiro:営業部/契約書:RW
changes=1 2 1 jiro:営業部/見積書:RW* taro:営業部/見積書:*
changes=1&user=JIRO 1 1 jiro:営業部/見積書:RW*
EOF
exit $failed
