#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, and any more named as
# arguments; quick when all are there.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    juce-modules-source
    libasound2-dev libcurl4-openssl-dev libfreetype-dev
    libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev libxcomposite-dev
    libpng-dev libjpeg-dev libflac-dev libvorbis-dev libogg-dev zlib1g-dev
    fontconfig-config fonts-dejavu-core
    libgtest-dev xvfb xauth
    clang-14 libclang-rt-14-dev
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
