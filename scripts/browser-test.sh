#!/usr/bin/env bash
# Drives Debian's chromium (headless, through playwright-core) against a running `tonalith grade`
# on a 1920x1080 picture: the dialog by mouse and keyboard, the preview against `tonalith apply`,
# the saved block against `chain convert`, the server's refusals. Prints the preview latency it
# measured and leaves a screenshot of the page (build/linux/grade.png, or the path given).
# Expects build/linux built (scripts/test.sh does that); about 40 s on a busy 2-core machine.
set -euo pipefail
cd "$(dirname "$0")/.."
screenshot=${1:-build/linux/grade.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ ! -d tests/browser/node_modules/playwright-core ]; then
    echo "tests/browser/node_modules is missing: run scripts/install-deps.sh" >&2
    exit 1
fi
node tests/browser/grade_test.mjs build/linux/cli/tonalith "$work" "$screenshot"
