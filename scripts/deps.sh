#!/usr/bin/env bash
# Installs the Debian packages dewlark builds and tests with, when they are missing.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libsdl2-dev libmpg123-dev libogg-dev libvorbis-dev
  libxtst-dev libx11-dev fonts-dejavu-core fonts-ipafont-gothic libgtest-dev libgmock-dev libbenchmark-dev
  libfftw3-dev clang libclang-rt-dev
  lame vorbis-tools mpg123 sox)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}"
fi
