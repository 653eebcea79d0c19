#!/bin/sh
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer and UBSan)
# in build/fuzz and runs each one for a bounded time, starting from its seed
# corpus in fuzz/corpus/<target>; any finding fails the script, and its
# input is kept in build/fuzz/findings/.
#
#   scripts/fuzz.sh [SECONDS [TARGET...]]   (default: 60 seconds, all five)
#
# Needs clang and its libFuzzer runtime (apt-get install clang
# libclang-rt-14-dev). New inputs go to build/fuzz/corpus/<target>, never to
# the seeds.
set -e
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
all="profile_reader registry_export user_lists folder_ini_rewrite backup_file"
targets=${*:-$all}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "Fuzzing needs clang: apt-get install clang libclang-rt-14-dev" >&2
  exit 1
fi
cmake -S . -B build/fuzz -DRAV_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j2

mkdir -p build/fuzz/findings
for target in $targets; do
  mkdir -p "build/fuzz/corpus/$target"
  echo "== $target: $seconds s"
  # A run that hangs for 10 s on one input, or passes 2 GB, is a finding.
  UBSAN_OPTIONS=print_stacktrace=1 "build/fuzz/fuzz/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -dict=fuzz/ini.dict -print_final_stats=1 \
    -artifact_prefix="build/fuzz/findings/$target-" \
    "build/fuzz/corpus/$target" "fuzz/corpus/$target" 2>"build/fuzz/$target.log" ||
    {
      tail -n 40 "build/fuzz/$target.log" >&2
      echo "FUZZ FINDING in $target: input in build/fuzz/findings/" >&2
      exit 1
    }
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec)' \
    "build/fuzz/$target.log" || true
done
