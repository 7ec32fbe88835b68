#!/usr/bin/env bash
# Installs what the project needs, builds with AddressSanitizer and UBSan in a folder of its own
# (build-test: a later scripts/build.sh build must not turn into a sanitized program), runs every
# test; then cross-builds the Windows program with its tests (build-windows-test) and runs those
# under Wine, in a fresh Wine prefix, under Xvfb when there is no display.
# Extra arguments go to ctest (for example: -L catalogue); "-L windows" runs only the Windows
# tests, any other label only the Linux ones.
set -euo pipefail
cd "$(dirname "$0")/.."
linux=1; windows=1
if [ $# -gt 0 ]; then
  case " $* " in
    *" windows "*) linux=0 ;;
    *) windows=0 ;;
  esac
fi

if [ $linux = 1 ]; then
  bash scripts/install-deps.sh
  bash scripts/build.sh build-test -DCMAKE_BUILD_TYPE=Debug -DVOLNOR_SANITIZE=ON \
    -DVOLNOR_WERROR=ON
  (cd build-test && ctest --output-on-failure -j 2 "$@")
fi

if [ $windows = 1 ]; then
  bash scripts/build-windows.sh build-windows-test -DCMAKE_BUILD_TYPE=Debug -DVOLNOR_WERROR=ON
  prefix="$PWD/build-windows-test/wineprefix"
  rm -rf "$prefix" "$prefix.lock"
  export WINEPREFIX="$prefix"
  # Wine's desktop process belongs to the display the prefix first ran on: the prefix, the
  # server and the tests share one display.
  xvfb=""
  if [ -z "${DISPLAY:-}" ]; then
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$displayfile")"
    rm -f "$displayfile"
  fi
  trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true' EXIT
  bash scripts/wine.sh cmd /c exit 0
  # One Wine server for the whole run: each test program then starts in a fraction of a second.
  wineserver -w
  wineserver -p
  cd build-windows-test
  if [ $linux = 0 ]; then
    ctest --output-on-failure -j 2 "$@"
  else
    ctest --output-on-failure -j 2 -L windows
  fi
fi
