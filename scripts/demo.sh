#!/usr/bin/env bash
# The main job: builds zeq and the plug-ins (no tests, no benchmarks), exports the embedded demo
# scene and summarises the file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
# Only the zeq target (it depends on the plug-ins); the build options stay as they are, so the
# folder remains the one scripts/test.sh builds everything in.
bash scripts/build.sh build -- zeq
mkdir -p out
build/bin/zeq export -o out/demo.zeq --normals --tangents --animation
build/bin/zeq info out/demo.zeq
