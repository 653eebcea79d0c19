#!/bin/sh
# Builds the Linux tool and runs a listing on a scratch copy of the sample
# store, then shows the result file (CP932 converted for the terminal).
# Further arguments replace the default command, e.g.
#   scripts/run-sample.sh /set /r jiro 営業部
set -e
cd "$(dirname "$0")/.."
. scripts/need.sh
need_packages cmake g++
cmake --preset linux >/dev/null
cmake --build --preset linux --target RaVerAzariduVivi >/dev/null
tool="$(pwd)/build/linux/raverazariduvivi/RaVerAzariduVivi"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/ravsample.XXXXXX")
cp -r sample/store "$scratch/store"
# The installation names its data folder, and the registry stand-in names the
# installation, by absolute path: point both at the copy.
for f in "$scratch/store/install/Tenbo2Lib.ini" "$scratch/store/registry.reg"; do
  sed -i "s|@STORE@|$scratch/store|" "$f"
done
mkdir "$scratch/run"
cd "$scratch/run"
[ $# -gt 0 ] || set -- /listall-authstatus
echo "\$ RaVerAzariduVivi $*"
status=0
RAVERAZARIDUVIVI_REGISTRY="$scratch/store/registry.reg" "$tool" "$@" || status=$?
echo "(exit code $status)"
for f in result*.txt; do
  [ -f "$f" ] || continue
  echo "--- $scratch/run/$f"
  iconv -f CP932 -t UTF-8 "$f" | tr -d '\r'
done
