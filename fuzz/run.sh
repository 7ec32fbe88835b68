#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan in build-fuzz, replays each seed
# corpus (tests/fuzz/NAME) and then fuzzes each target for SECONDS (default 600).
#   bash fuzz/run.sh [SECONDS] [TARGET...]      e.g. bash fuzz/run.sh 15 statement_fuzz
# New inputs gather in build-fuzz/corpus/NAME; a crash or hang is saved in build-fuzz/crashes/NAME
# and ends the run with a failure. Put such an input into tests/fuzz/NAME once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"; shift || true
dir=build-fuzz
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVOLNOR_FUZZ=ON -DVOLNOR_SANITIZE=ON -DVOLNOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" --target fuzz_targets

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
for target in "${targets[@]}"; do
  name="${target%_fuzz}"
  seeds="tests/fuzz/$name"
  work="$dir/corpus/$name"
  crashes="$dir/crashes/$name"
  mkdir -p "$work" "$crashes"
  echo "== $target: replaying $(ls "$seeds" | wc -l) seeds"
  "$dir/fuzz/$target" -runs=0 "$seeds"
  echo "== $target: fuzzing for $seconds s"
  "$dir/fuzz/$target" -max_total_time="$seconds" -timeout=10 -max_len=4096 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "$seeds"
done
