#!/bin/sh
# Builds the Linux package (.deb) and the Windows package (.zip) with CPack
# and checks what an administrator gets: the .deb passes lintian without
# errors, and its unpacked program starts and prints its usage text; the
# .zip, unpacked into a fresh folder, holds the program, the manual and the
# sample store, and its program does the same under Wine, run from another
# folder. What it needs and misses it installs as root, or names the
# apt-get line to run; the program's start-up checks need root (or the sudo
# group). RAV_PACKAGE_LINUX_DIR and RAV_PACKAGE_WINDOWS_DIR name other
# build folders than build/linux and build/windows.
set -e
cd "$(dirname "$0")/.."
linux_dir=${RAV_PACKAGE_LINUX_DIR:-build/linux}
windows_dir=${RAV_PACKAGE_WINDOWS_DIR:-build/windows}
usage_title="[使用方法]"

. scripts/need.sh
need_packages cmake dpkg-dev lintian file unzip g++-mingw-w64-x86-64 wine64 \
  locales
need_japanese_locale

scratch=$(mktemp -d "${TMPDIR:-/tmp}/ravpackage.XXXXXX")
export WINEPREFIX="$scratch/wineprefix"
cleanup() {
  # The Wine server of the scratch prefix outlives the program by a while.
  [ ! -d "$WINEPREFIX" ] || wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "package check FAILED: $*" >&2
  exit 1
}

# Builds one preset into its folder and packs it; prints the package path.
build_package() {
  preset=$1 dir=$2 pattern=$3
  cmake --preset "$preset" -B "$dir" >&2
  cmake --build "$dir" -j2 >&2
  rm -f "$dir"/$pattern
  (cd "$dir" && cpack >&2)
  set -- "$dir"/$pattern
  if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    fail "cpack made no single $pattern in $dir"
  fi
  echo "$1"
}

# The Windows form of a path, on Wine's drive Z: (the Unix root).
winpath() {
  printf 'Z:%s' "$1" | tr / '\\'
}

# Checks that the program output on stdin (UTF-8) holds the usage text; $1
# names the run in the messages.
expect_usage() {
  grep -qF "$usage_title" || fail "$1 printed no usage text"
  echo "$1: usage text printed"
}

# --- Linux: the .deb ---------------------------------------------------------
deb=$(build_package linux "$linux_dir" "raverazariduvivi_*.deb")
echo "== $deb"
dpkg-deb -I "$deb"
dpkg-deb -I "$deb" conffiles | grep -qx /etc/raverazariduvivi/registry.reg ||
  fail "/etc/raverazariduvivi/registry.reg is not a conffile"
echo "== lintian"
lintian_status=0
lintian --fail-on error --display-info "$deb" >"$scratch/lintian.txt" 2>&1 ||
  lintian_status=$?
grep -v 'running with root privileges' "$scratch/lintian.txt" || true
[ "$lintian_status" = 0 ] || fail "lintian reports errors"

root="$scratch/root"
dpkg -x "$deb" "$root"
for f in usr/bin/RaVerAzariduVivi usr/bin/raverazariduvivi \
         usr/share/man/man1/RaVerAzariduVivi.1.gz \
         usr/share/doc/raverazariduvivi/copyright \
         usr/share/doc/raverazariduvivi/changelog.Debian.gz \
         usr/share/raverazariduvivi/registry.reg.example \
         usr/share/raverazariduvivi/sample/store/data/User.ini \
         etc/raverazariduvivi/registry.reg; do
  [ -e "$root/$f" ] || fail "the .deb has no /$f"
done
[ "$(readlink "$root/usr/bin/raverazariduvivi")" = RaVerAzariduVivi ] ||
  fail "/usr/bin/raverazariduvivi is no link to RaVerAzariduVivi"

# The installed example is all comments: as it is, the tool finds no
# installation; with the key's lines uncommented and pointed at a copy of
# the sample store it starts and prints its usage text.
store="$scratch/linux-store"
cp -r "$root/usr/share/raverazariduvivi/sample/store" "$store"
sed -i "s|@STORE@|$store|" "$store/install/Tenbo2Lib.ini"
sed -e 's/^; \(["@[]\)/\1/' -e "s|/srv/tenbo/install|$store/install|" \
  "$root/etc/raverazariduvivi/registry.reg" >"$scratch/registry.reg"
mkdir "$scratch/linux-run"
cd "$scratch/linux-run"
RAVERAZARIDUVIVI_REGISTRY="$root/etc/raverazariduvivi/registry.reg" \
  "$root/usr/bin/raverazariduvivi" /h 2>&1 |
  grep -q "インストールされていません" ||
  fail "the commented registry example is not read as 'no installation'"
RAVERAZARIDUVIVI_REGISTRY="$scratch/registry.reg" \
  "$root/usr/bin/raverazariduvivi" /h 2>&1 |
  expect_usage "the .deb's /usr/bin/raverazariduvivi /h"
cd - >/dev/null

# --- Windows: the .zip -------------------------------------------------------
zip=$(build_package windows "$windows_dir" "RaVerAzariduVivi-*-win64.zip")
echo "== $zip"
unzip -l "$zip"
unzip -q "$zip" -d "$scratch/zip"
set -- "$scratch"/zip/*/RaVerAzariduVivi.exe
[ -f "$1" ] || fail "the .zip has no RaVerAzariduVivi.exe in its folder"
top=$(dirname "$1")
for f in manual.txt manual-utf8.txt sample/store/data/User.ini \
         sample/store/install/Tenbo2Lib.ini; do
  [ -f "$top/$f" ] || fail "the .zip has no $f"
done
# manual.txt is manual-utf8.txt in CP932 with CR LF on every line.
cr=$(printf '\r')
[ "$(grep -c "$cr\$" "$top/manual.txt")" = "$(wc -l <"$top/manual.txt")" ] ||
  fail "manual.txt has a line without CR LF"
iconv -f CP932 -t UTF-8 "$top/manual.txt" | tr -d '\r' |
  cmp -s - "$top/manual-utf8.txt" || fail "manual.txt is not manual-utf8.txt in CP932"

# The registry key names the unpacked sample store, in Wine's drive Z:.
winstore=$(winpath "$top/sample/store")
sed -i "s|@STORE@/data|$(printf '%s' "$winstore" | sed 's/\\/\\\\/g')\\\\data|" \
  "$top/sample/store/install/Tenbo2Lib.ini"
regvalue=$(printf '%s' "$winstore\\install\\TenboEnvSet.exe" | sed 's/\\/\\\\/g')
printf 'REGEDIT4\r\n\r\n[%s]\r\n@="%s"\r\n"version"="V50L50"\r\n' \
  'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\TenboEnvSet.exe' \
  "$regvalue" >"$scratch/app-paths.reg"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml="
wine regedit /S "$(winpath "$scratch/app-paths.reg")" ||
  fail "Wine did not import the App Paths key"
mkdir "$scratch/windows-run"
cd "$scratch/windows-run"
wine "$top/RaVerAzariduVivi.exe" /h 2>&1 | iconv -f CP932 -t UTF-8 |
  expect_usage "the .zip's RaVerAzariduVivi.exe /h under Wine"
cd - >/dev/null
echo "Both packages checked."
