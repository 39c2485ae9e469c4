#!/usr/bin/env bash
# Builds dewlark's Debian package: build/dewlark_VERSION_ARCH.deb. Install it with
#   sudo apt install ./build/dewlark_*.deb
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/deps.sh" package
build="$here/build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEWLARK_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target dewlark dewlark_manual
cd "$build"
cpack -G DEB
