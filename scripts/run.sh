#!/usr/bin/env bash
# Builds dewlark and starts it, with the bundled demo sound when no file is named.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/deps.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEWLARK_TESTS=OFF >/dev/null
cmake --build "$here/build" -j2 --target dewlark
if [ $# -eq 0 ]; then
  exec "$here/build/dewlark" "$here/data/demo.wav"
fi
exec "$here/build/dewlark" "$@"
