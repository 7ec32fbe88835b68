#!/usr/bin/env bash
# Runs a Windows program of the cross-build under Wine: a 32-bit prefix (WINEPREFIX, made on
# first use), Russian locale (so the ANSI code page is 1251), no Mono or Gecko prompts, no debug
# chatter. CTest uses it as the cross-build's emulator; scripts/test.sh gives each run a prefix.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-$HOME/.volnor-wine}"
export WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
# Wine needs a display for windows; tests and the demo run under Xvfb when there is none.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot --init >/dev/null 2>&1
      # Wine has no Times New Roman, the font of the window's tree, toolbar and instructions; a
      # metric-compatible one stands in, as it does for the Linux window.
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v 'Times New Roman' /d 'Liberation Serif' /f >/dev/null 2>&1
    fi
    wineserver -w
  ) 9>"$WINEPREFIX.lock"
fi
# The output goes through a file: Wine starts its desktop and services on demand, and they would
# inherit a pipe (CTest's) and hold it open long after the program has ended.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
rc=0
wine "$@" >"$out" 2>&1 </dev/null || rc=$?
cat "$out"
exit $rc
