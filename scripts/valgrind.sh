#!/usr/bin/env bash
# The plug-in's test suite under valgrind's memcheck (slow: several minutes). Not part of CI;
# the sanitizer suite covers the same ground there. Extra arguments go to the test binary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build build/linux -j "$(nproc)" --target tonalith_tests
valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --error-exitcode=99 --suppressions=tests/valgrind.supp \
    build/linux/tests/tonalith_tests --gtest_brief=1 "$@"
