#!/bin/sh
# Builds the sound-file reader's fuzz target with clang and runs it: ./fuzz/run_open_source_fuzz.sh [seconds]
# (default 10). Findings land in fuzz/findings-open-source/; the corpus grows in its own folder.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DEWLARK_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-10}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DDEWLARK_FUZZ=ON -DDEWLARK_SANITIZE=ON -DDEWLARK_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target open_source_fuzz
corpus="$build/corpus-open-source"
findings="$root/fuzz/findings-open-source"
mkdir -p "$corpus" "$findings"
cp -n "$root"/tests/data/*.wav "$root"/tests/data/*.mp3 "$root"/tests/data/*.ogg "$corpus"/ 2>/dev/null || true
QT_QPA_PLATFORM=offscreen "$build/fuzz/open_source_fuzz" -max_total_time="$seconds" -max_len=65536 \
    -artifact_prefix="$findings/" "$corpus"
