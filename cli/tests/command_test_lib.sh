# Shared by the command-line test scripts (sourced): a private working folder, removed on exit,
# and the two ways a case fails.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs a command that must fail; its stderr must contain the expected text.
expect_error() {
    local expected=$1
    shift
    if "$@" >out.txt 2>err.txt; then fail "succeeded: $*"; fi
    grep -qF -- "$expected" err.txt || fail "expected '$expected' from: $*; got: $(cat err.txt)"
}
