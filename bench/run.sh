#!/usr/bin/env bash
# Builds a release build of the benchmarks and runs them: `bash bench/run.sh [partsdb] [download]`
# (both when none is named). BUILD_DIR overrides the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
which=("$@")
[ ${#which[@]} -eq 0 ] && which=(partsdb download)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOLNOR_SANITIZE=OFF >/dev/null
for name in "${which[@]}"; do
  case "$name" in
    partsdb) ninja -C "$build" -j2 volnor_bench && "$build/bin/volnor_bench" ;;
    download) ninja -C "$build" -j2 volnor_download_bench && "$build/bin/volnor_download_bench" ;;
    *) echo "unknown benchmark: $name (partsdb, download)" >&2; exit 2 ;;
  esac
done
