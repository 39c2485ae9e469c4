#!/usr/bin/env bash
# Installs the Debian packages dewlark needs, when they are missing.
#   deps.sh          what building and running the program need
#   deps.sh test     and what the test suite needs (reference encoders and decoders included)
#   deps.sh fuzz     and what the fuzz targets need (clang, libFuzzer)
#   deps.sh bench    and what the benchmarks need
#   deps.sh package  and what building and checking the Debian package need
# Without root and without a usable sudo it names the missing packages and the command that
# installs them, and exits 1.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libsdl2-dev libmpg123-dev libogg-dev libvorbis-dev
  libflac-dev libopusfile-dev libebur128-dev libxtst-dev libx11-dev libpulse-dev libjack-jackd2-dev fonts-dejavu-core
  fonts-ipafont-gothic)
for group in "$@"; do
  case "$group" in
    test) packages+=(libgtest-dev libgmock-dev lame vorbis-tools mpg123 sox flac opus-tools pulseaudio pulseaudio-utils parallel
      ffmpeg pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon jackd2) ;;
    fuzz) packages+=(clang libclang-rt-dev) ;;
    bench) packages+=(libfftw3-dev) ;;
    package) packages+=(dpkg-dev binutils desktop-file-utils appstream man-db) ;;
    *) echo "deps.sh: unknown group: $group (test, fuzz, bench or package)" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  # sudo that can ask for a password needs someone at a terminal to answer it.
  if command -v sudo >/dev/null 2>&1 && { sudo -n true 2>/dev/null || [ -t 0 ]; }; then
    sudo="sudo"
  else
    {
      echo "dewlark needs these Debian packages, which are not installed:"
      echo "  ${missing[*]}"
      echo "Install them as root with:"
      echo "  apt-get install ${missing[*]}"
    } >&2
    exit 1
  fi
fi
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}"
