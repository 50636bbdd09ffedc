#!/usr/bin/env bash
# Builds everything and runs the whole test suite twice: a normal build, then the
# address/undefined-behaviour sanitizer build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
jobs=$(nproc)
status=0
echo "== release build" >&2
# The options are given explicitly: a build folder configured otherwise (say, without tests) keeps
# its settings in the cache.
bash scripts/build.sh build -DZEQ_SANITIZE=OFF -DZEQ_BUILD_TESTS=ON -DZEQ_BUILD_BENCH=ON
ctest --test-dir build --output-on-failure -j "$jobs" || status=1
echo "== sanitizer build" >&2
bash scripts/build.sh build-asan -DZEQ_SANITIZE=ON -DZEQ_BUILD_TESTS=ON -DZEQ_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=1
exit $status
