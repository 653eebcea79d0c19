#!/bin/sh
# Builds the benchmark (bench/) and runs it: its own checks, then the tool
# timed against the floor program with every outcome checked, then the
# list-function microbenchmarks. Arguments go to the runner, e.g.
#   scripts/bench.sh --record DIR   keep the tool's outcomes in DIR
#   scripts/bench.sh --check DIR    compare every run with those in DIR
#   scripts/bench.sh --quick        moderate sizes;  --help: all options
# RAV_BENCH_BUILD names the build folder (default build/bench);
# RAV_BENCH_MICRO=0 leaves the microbenchmarks out; RAV_BENCH_PAGE=0 the
# opening of /report's page in headless Chromium.
set -e
cd "$(dirname "$0")/.."
build="${RAV_BENCH_BUILD:-build/bench}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAV_BENCH=ON \
      -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
if [ -x "$build/bench/rav_bench_selftest" ]; then
  "$build/bench/rav_bench_selftest" --gtest_brief=1
else
  echo "bench self-test SKIPPED: no GoogleTest (apt-get install libgtest-dev)"
fi
[ "${RAV_BENCH_PAGE:-1}" = 1 ] || set -- --chromium "" "$@"
"$build/bench/rav_runbench" "$@"
if [ "${RAV_BENCH_MICRO:-1}" = 1 ] && [ -x "$build/bench/rav_listbench" ]; then
  "$build/bench/rav_listbench" --benchmark_min_time=0.1
fi
