#!/usr/bin/env bash
# Builds the 64-bit Windows plug-in and its test host (preset win64), then runs the host under
# Wine on a virtual X display: it loads tonalith.dll as the editor does, drives the real Win32
# controls and prints one PASS/FAIL line per check. Also leaves a screenshot of the dialog,
# build/win64/tonalith-dialog.png. Exits non-zero when anything fails.
#
# 32-bit Windows code cannot run on this machine's Wine, so the 64-bit build of the same sources
# stands in for the shipped i686 DLL.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build="$root/build/win64"

cmake --preset win64 >/dev/null
cmake --build "$build" -j2

wine_loader=$(command -v wine64 || true)
if [ -z "$wine_loader" ] && [ -x /usr/lib/wine/wine64 ]; then wine_loader=/usr/lib/wine/wine64; fi
if [ -z "$wine_loader" ]; then wine_loader=$(command -v wine); fi

# A private prefix under the build folder; the first run creates it (this takes a while).
export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Where the system has a Japanese locale, use it: the ANSI code page is then 932, as on the
# editor's machines. (The checks compare bytes, which also round-trip under code page 1252.)
if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; fi

cd "$build"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" \
    sh -c '"$1" wineboot -u >/dev/null 2>&1; "$1" ./tonalith_win32_host.exe tonalith-dialog.bmp; rc=$?; "${1%/*}/wineserver" -k 2>/dev/null || wineserver -k 2>/dev/null; exit $rc' \
    wine-check "$wine_loader" || status=$?

if [ -f tonalith-dialog.bmp ] && command -v convert >/dev/null; then
    convert tonalith-dialog.bmp tonalith-dialog.png && echo "screenshot: $build/tonalith-dialog.png"
fi
if [ "$status" -ne 0 ]; then
    echo "wine-check: FAILED (status $status)"
    exit "$status"
fi
echo "wine-check: all checks passed"
