#!/usr/bin/env bash
# Writes the README's before/after pictures with the tool itself: each example look on the test
# chart (docs/LOOK.png) and on the photograph (docs/LOOK-photo.jpg).
#   scripts/readme-pictures.sh [TONALITH]   (default: build/linux/cli/tonalith)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tonalith=${1:-$root/build/linux/cli/tonalith}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for chain in "$root"/examples/*.json; do
    look=$(basename "$chain" .json)
    "$tonalith" demo --chain "$chain" -o "$work/chart" >/dev/null
    cp "$work/chart/side-by-side.png" "$root/docs/$look.png"
    "$tonalith" demo --chain "$chain" --picture "$root/docs/photo/astronaut.jpg" -o "$work/photo" >/dev/null
    # An all-zero RGB stage gives 8-bit pictures back exactly: this only changes the format.
    "$tonalith" apply -q 88 --stage RGB "$work/photo/side-by-side.png" "$root/docs/$look-photo.jpg"
    echo "docs/$look.png docs/$look-photo.jpg"
done
