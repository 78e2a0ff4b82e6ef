#!/usr/bin/env bash
# Builds every preset and runs every suite: the native and 32-bit test suites, `tonalith grade`
# driven in a headless chromium, the whole suite
# again under AddressSanitizer and UndefinedBehaviorSanitizer (with allocation faults), the
# Windows DLL with its export/import check and a run of the DLL itself in a PE loader of our own,
# held against the Linux build, the plug-in library's export check, the frei0r filter under
# ThreadSanitizer, the Win32 controls under Wine, and a bounded run of every fuzzer
# (FUZZ_SECONDS each, default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
passed=0
failed=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT

step() { printf '\n==== %s\n' "$*"; }

# Runs one ctest suite and adds its counts to the totals.
run_suite() {
    local preset=$1
    step "test suite: $preset"
    set +e
    ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    set -e
    local line fail=0 total=0
    line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1 || true)
    if [ -n "$line" ]; then
        fail=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
        total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
        passed=$((passed + total - fail))
        failed=$((failed + fail))
    fi
    # A suite that failed without a count (a crash, a build error) still counts as a failure.
    if [ "$rc" -ne 0 ] && [ "$fail" -eq 0 ]; then failed=$((failed + 1)); fi
}

build_preset() {
    step "build: $1"
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j "$jobs"
}

build_preset linux
run_suite linux

step "plug-in library exports"
# GetFilterTable, and the stand-in's windows for a host in the same process, exactly those named
# in host/exports.map (the Windows DLL's single export is checked with the DLL below).
exports=$(nm -D --defined-only build/linux/tonalith.so | awk '{print $3}' | sort)
listed=$(grep -oE '^ *(GetFilterTable|tonalith_win32_[a-z_]+);' host/exports.map | tr -d ' ;' | sort)
if [ "$exports" != "$listed" ] || ! grep -qx GetFilterTable <<<"$exports"; then
    echo "tonalith.so must export exactly what host/exports.map lists; exports: $exports" >&2
    failed=$((failed + 1))
else
    echo "tonalith.so exports GetFilterTable and the stand-in's $(grep -c tonalith_win32_ <<<"$exports") host-side functions only"
    passed=$((passed + 1))
fi

step "tonalith grade in a browser"
if bash scripts/browser-test.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

build_preset linux32
run_suite linux32

build_preset sanitize
run_suite sanitize

# Under ThreadSanitizer, the plug-in and its hosts instrumented so any state threads share is
# reported: video frames split into bands over private plug-in instances, and the frei0r filter's
# instances on several threads (a few minutes).
build_preset tsan
run_suite tsan

build_preset mingw
step "Windows DLL check"
if bash scripts/check-dll.sh build/mingw/tonalith.dll; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

step "the Windows DLL run against the Linux build"
if bash scripts/dll-check.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

if [ -f scripts/wine-check.sh ]; then
    step "Win32 controls under Wine"
    if bash scripts/wine-check.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
fi

step "bounded fuzzing"
if bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

echo
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
