#!/usr/bin/env bash
# The longer run of scripts/dll-check.sh: COUNT (default 500) random chains more, each at both x87
# control words, every frame compared bit for bit with the Linux build. Several minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
export TONALITH_DLL_SWEEP=${1:-500}
export GTEST_FILTER='*DllFrames*'
exec bash scripts/dll-check.sh --timeout 7200
