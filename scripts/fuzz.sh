#!/usr/bin/env bash
# fuzz.sh [SECONDS] [TARGET...]: builds the libFuzzer targets of fuzz/ with clang and the address and
# undefined-behaviour sanitizers (build folder build-fuzz), then runs each target (all by default)
# for SECONDS (default 60) over its seed corpus and prints its executions and coverage. Inputs that
# reach new code collect in build-fuzz/corpus/TARGET, so later runs go on from there; a crashing,
# leaking or hanging input is kept in build-fuzz/findings/ and makes the script exit 1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name#fuzz_}")
  done
fi

dir=${ZEQ_FUZZ_BUILD_DIR:-$root/build-fuzz}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" -DZEQ_FUZZ=ON -DZEQ_SANITIZE=ON \
  -DZEQ_BUILD_TESTS=OFF -DZEQ_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$(nproc)" --target zeq_fuzz_targets

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-"suppressions='$root/fuzz/lsan.supp'"}
status=0
for name in "${targets[@]}"; do
  work=$dir/corpus/$name
  findings=$dir/findings
  mkdir -p "$work" "$findings"
  # A fixed seed (ZEQ_FUZZ_SEED, default 1) makes a run from the same corpus try the same inputs, so a
  # short smoke run repeats what was tried before it; a campaign sets its own.
  options=(-seed="${ZEQ_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$findings/$name-")
  [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
  log=$dir/fuzz-$name.log
  echo "== $name (${seconds}s)" >&2
  result=0
  nice "$dir/bin/fuzz_$name" "${options[@]}" "$work" "fuzz/corpus/$name" >"$log" 2>&1 || result=$?
  # The first and last coverage lines, and the executions of the final statistics.
  start=$(grep -m1 -oE 'INITED cov: [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
  end=$(grep -oE '(cov|DONE   cov): [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+$' || echo "$start")
  runs=$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$' || echo "?")
  echo "$name: $runs executions, coverage $start -> $end edges (+$((end - start))), $(ls "$work" | wc -l) inputs in its working corpus" >&2
  if ((result == 72)); then
    # libFuzzer's exit status when it is interrupted (Ctrl-C, SIGINT): the run ended early, nothing found.
    echo "$name: interrupted" >&2
    status=1
  elif ((result != 0)); then
    echo "$name: FINDING (exit $result); log $log, inputs in $findings:" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|property violated|.*runtime error)' "$log" | head -5 >&2 || true
    status=1
  fi
done
exit $status
