#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh BUILD_DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"; shift || true
cmake -S . -B "$dir" -G Ninja "$@"
cmake --build "$dir" -j "$(nproc)"
