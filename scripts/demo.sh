#!/usr/bin/env bash
# The program's main job on a fresh machine: installs, builds and runs what exists.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build-demo
ls -l build-demo/bin
