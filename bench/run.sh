#!/usr/bin/env bash
# Builds a release build of the benchmarks and runs them. BUILD_DIR overrides the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLNOR_SANITIZE=OFF >/dev/null
ninja -C "$build" -j2 volnor_bench
"$build/bin/volnor_bench"
