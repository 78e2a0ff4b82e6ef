#!/usr/bin/env bash
# The main job on its built-in default: builds the plug-in and the command-line host, then applies
# a bundled example look to a built-in test picture. Extra arguments go to `tonalith demo`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh" --demo
(cd "$root" && cmake --preset linux >/dev/null &&
    cmake --build build/linux -j "$(nproc)" --target tonalith tonalith_plugin)
"$root/build/linux/cli/tonalith" demo "$@"
