#!/usr/bin/env bash
# Runs the shipped Windows DLL (build/mingw/tonalith.dll, stripped as users get it) inside a
# 32-bit Linux process under the linux32 preset's emulator: a PE loader of our own maps it, binds
# its imports, runs its TLS callbacks and entry point, and drives its callbacks as the editor
# does, holding frames (at x87 control words 0x27F and 0x37F), host calls, the dialog and the
# filter table against the Linux build of the same sources. Needs the linux32 and mingw presets
# built. Extra arguments go to ctest.
#   TONALITH_DLL_SWEEP=N   adds N random chains (scripts/dll-sweep.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/linux32/CTestTestfile.cmake ] || [ ! -f build/mingw/tonalith.dll ]; then
    echo "dll-check: build the linux32 and mingw presets first" >&2
    exit 1
fi
cmake --build --preset linux32 --target tonalith_dll_check >/dev/null
ctest --test-dir build/linux32 -L '^dll$' --output-on-failure "$@"
