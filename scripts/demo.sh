#!/usr/bin/env bash
# The main job: builds zeq and the plug-ins, exports the embedded demo scene and summarises the file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build
mkdir -p out
build/bin/zeq export -o out/demo.zeq --normals --tangents --animation
build/bin/zeq info out/demo.zeq
