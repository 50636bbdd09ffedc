#!/usr/bin/env bash
# The main job: builds zeq and the plug-ins (no tests, no benchmarks), exports the embedded demo
# scene and summarises the file.
#
# It builds in its own folder (build-demo) with the leanest configuration that gives the same
# binaries' behaviour: optimised, without debug information, and as a unity build (the sources of
# each target compiled together), which takes about a third of the compiler time of the full
# configuration. scripts/test.sh builds everything in build/ and build-asan/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build-demo -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_UNITY_BUILD=ON -DZEQ_BUILD_TESTS=OFF -DZEQ_BUILD_BENCH=OFF -DZEQ_SANITIZE=OFF -- zeq
mkdir -p out
build-demo/bin/zeq export -o out/demo.zeq --normals --tangents --animation
build-demo/bin/zeq info out/demo.zeq
