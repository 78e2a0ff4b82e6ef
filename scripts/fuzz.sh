#!/usr/bin/env bash
# Bounded fuzzing runs of every libFuzzer target, each starting from its seed corpus in the repo
# (copied, so the repo's corpus is not rewritten). Usage: scripts/fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target fuzzers
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for fuzzer in build/fuzz/tests/fuzz/*_fuzzer; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer" _fuzzer)
    mkdir -p "$work/$name"
    cp -r tests/fuzz/corpus/"$name"/. "$work/$name"/
    echo "==== fuzzing $name for ${seconds}s"
    # A fixed seed, so that a run explores the same inputs wherever it runs (FUZZ_SEED to vary).
    if "$fuzzer" -seed="${FUZZ_SEED:-1}" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=30 \
            -artifact_prefix="$work/$name-" "$work/$name" 2>"$work/$name.log"; then
        grep -E "^Done [0-9]+ runs" "$work/$name.log" || true
    else
        status=1
        tail -40 "$work/$name.log"
        mkdir -p build/fuzz/findings
        cp "$work/$name"-* build/fuzz/findings/ 2>/dev/null || true
        echo "fuzz: $name found a failure; inputs kept in build/fuzz/findings" >&2
    fi
done
exit $status
