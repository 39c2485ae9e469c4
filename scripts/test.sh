#!/usr/bin/env bash
# Builds dewlark with its tests and runs the whole suite headless.
# DEWLARK_BUILD_DIR and DEWLARK_CMAKE_ARGS choose another build (the sanitizer run of CI uses them).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
# The package tools too: the suite installs the program and builds its Debian package.
"$here/scripts/deps.sh" test package
build="${DEWLARK_BUILD_DIR:-$here/build}"
# shellcheck disable=SC2086
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEWLARK_TESTS=ON ${DEWLARK_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j2
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
profile="$(mktemp -d)"
export USERPROFILE="$profile"
cd "$build"
ctest --output-on-failure -j2 "$@"
