#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, only those missing.
# Every package the project uses is listed here and nowhere else.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build ccache pkg-config clang libclang-rt-dev
    qt6-base-dev libx11-dev
    librtmidi-dev librtaudio-dev libasound2-dev jackd2 libjack-jackd2-dev
    libfreetype-dev libfontconfig1-dev fonts-liberation
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xdotool imagemagick alsa-utils
    sox
    midicsv abcmidi
    dpf-plugins-vst
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
        echo "setup: these packages are missing and I am not root: ${missing[*]}" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
