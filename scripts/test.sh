#!/usr/bin/env bash
# Installs what the project needs, builds with AddressSanitizer and UBSan in a folder of its own
# (build-test: a later scripts/build.sh build must not turn into a sanitized program), runs every
# test. Extra arguments go to ctest (for example: -L catalogue).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build-test -DVOLNOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DVOLNOR_WERROR=ON
cd build-test
ctest --output-on-failure -j 2 "$@"
