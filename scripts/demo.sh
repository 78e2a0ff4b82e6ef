#!/usr/bin/env bash
# The main job on its built-in default: installs what the demo needs, builds the plug-in and the
# command-line host (the `release` preset, no tests), then applies a bundled example look to a
# built-in test picture and to the bundled photograph. Extra arguments go to `tonalith demo`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh" demo
(cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release -j "$(nproc)")
"$root/build/release/cli/tonalith" demo "$@"
