#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the tools need. Idempotent: installs
# only what is missing, and touches apt only then.
set -euo pipefail

packages=(
    # toolchains: native, 32-bit x86 (multilib), Windows cross (i686 and x86_64)
    build-essential cmake ninja-build g++-multilib mingw-w64 clang libclang-rt-14-dev
    # running the 32-bit suite and the Win32 check
    qemu-user wine64 xvfb xauth imagemagick locales fonts-ipafont-gothic
    # tests and benchmarks
    googletest libgtest-dev libbenchmark-dev
    # peak memory of a command (GNU time) and private mount namespaces for device-node cases
    time util-linux
    # the command-line host
    libpng-dev libjpeg62-turbo-dev libcli11-dev nlohmann-json3-dev ffmpeg
    # checks
    valgrind libc-bin
    # the frei0r filter: its header, and melt to run it in (ffmpeg is above)
    frei0r-plugins-dev melt
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

# A Japanese locale lets the Win32 check run Wine with the editor's code page (932), so the
# dialog's Shift-JIS texts show as they do for users.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
    $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
