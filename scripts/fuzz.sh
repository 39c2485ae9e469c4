#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds (default 60).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$here/scripts/deps.sh" fuzz
build="$here/build-fuzz"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEWLARK_TESTS=OFF \
  -DDEWLARK_FUZZ=ON -DDEWLARK_SANITIZE=ON >/dev/null
cmake --build "$build" -j2
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0
for target in "$build"/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  corpus="$here/fuzz/corpus/$(basename "$target")"
  mkdir -p "$build/corpus-$(basename "$target")"
  # A target's own limits (fuzz/NAME.flags) come after the common ones and win.
  flags="$here/fuzz/$(basename "$target").flags"
  echo "fuzzing $(basename "$target") for ${seconds}s"
  # shellcheck disable=SC2046
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 $( [ -f "$flags" ] && cat "$flags" ) \
    "$build/corpus-$(basename "$target")" \
    $( [ -d "$corpus" ] && echo "$corpus" ) >/dev/null 2>"$build/$(basename "$target").log" ||
    { tail -40 "$build/$(basename "$target").log"; exit 1; }
done
