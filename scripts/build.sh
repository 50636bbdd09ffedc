#!/usr/bin/env bash
# build.sh DIR [cmake options...] [-- targets...]: configures (once) and builds the suite in DIR;
# everything, or only the targets after "--" (and what they need).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
options=()
targets=()
while (($#)); do
  if [ "$1" = "--" ]; then shift; targets=("$@"); break; fi
  options+=("$1"); shift
done
launcher=()
# ccache, where present, keeps rebuilds of unchanged sources cheap across build folders.
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi
cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "${options[@]}" >/dev/null
if ((${#targets[@]})); then
  cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
else
  cmake --build "$dir" -j "$(nproc)"
fi
