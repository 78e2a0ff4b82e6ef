#!/usr/bin/env bash
# Installs the Debian 12 packages this repository needs. Idempotent: installs only what is
# missing, and touches apt only then.
#   install-deps.sh demo   what the demo and an install need: a compiler, CMake, Ninja and the
#                          libraries `tonalith` links (about 200 MB of packages)
#   install-deps.sh        (or `all`) that and everything the tests, checks and benchmarks need
set -euo pipefail

set_name=${1:-all}
demo_packages=(
    build-essential cmake ninja-build pkg-config
    libpng-dev libjpeg62-turbo-dev libtiff-dev liblcms2-dev libexiv2-dev libcli11-dev nlohmann-json3-dev
    libcpp-httplib-dev
)
test_packages=(
    # toolchains: 32-bit x86 (multilib), Windows cross (i686 and x86_64), clang for the fuzzers
    g++-multilib mingw-w64 clang libclang-rt-14-dev
    # running the 32-bit suite and the Win32 check
    qemu-user wine64 xvfb xauth locales fonts-ipafont-gothic
    # tests and benchmarks; ImageMagick, ffmpeg and Ghostscript's ICC profiles are the test's
    # real consumers and fixture makers
    googletest libgtest-dev libbenchmark-dev imagemagick ffmpeg libgs-common exiv2
    # peak memory of a command (GNU time) and private mount namespaces for device-node cases
    time util-linux
    # the LUT exports' readers, run by the tests
    opencolorio-tools
    # the browser test of `tonalith grade`: Debian's chromium, driven from Node (playwright-core
    # from npm, below)
    chromium nodejs
    # checks
    valgrind libc-bin
    # the frei0r filter: its header, and melt to run it in (ffmpeg is above)
    frei0r-plugins-dev melt
)
case $set_name in
demo) packages=("${demo_packages[@]}") ;;
all) packages=("${demo_packages[@]}" "${test_packages[@]}") ;;
*) echo "usage: install-deps.sh [demo|all]" >&2; exit 2 ;;
esac

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    $SUDO apt-get update -qq
    # The demo's set is what it names; the full set keeps the packages' recommendations (Wine's fonts, ...).
    recommends=()
    if [ "$set_name" = demo ]; then recommends=(--no-install-recommends); fi
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${recommends[@]}" "${missing[@]}"
fi

# A Japanese locale lets the Win32 check run Wine with the editor's code page (932), so the
# dialog's Shift-JIS texts show as they do for users.
if [ "$set_name" = all ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# playwright-core (a release that runs on Debian 12's Node 18) drives Debian's chromium; it
# downloads no browser. Debian's nodejs comes without npm; a Node from elsewhere brings its own.
if [ "$set_name" = all ]; then
    if ! command -v npm >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq npm
    fi
    browser_dir="$(cd "$(dirname "$0")/.." && pwd)/tests/browser"
    if ! npm ls --prefix "$browser_dir" playwright-core >/dev/null 2>&1; then
        PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefix "$browser_dir" --no-audit --no-fund
    fi
fi
