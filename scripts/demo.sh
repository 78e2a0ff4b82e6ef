#!/usr/bin/env bash
# The main job on its built-in default: installs what the demo needs, builds the plug-in and the
# command-line host (the `release` preset, no tests), then applies a bundled example look to a
# built-in test chart (./tonalith-demo/) and to the bundled photograph (./tonalith-demo/photo/).
# Arguments, when given, go to `tonalith demo` instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh" demo
(cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release -j "$(nproc)")
tonalith="$root/build/release/cli/tonalith"
if (($#)); then
    exec "$tonalith" demo "$@"
fi
"$tonalith" demo
"$tonalith" demo --picture "$root/docs/photo/astronaut.jpg" -o tonalith-demo/photo
