#!/usr/bin/env bash
# Writes the batch rows and pictures of a fixed set of files and settings, so that two builds can be
# compared byte for byte:
#   scripts/snapshot.sh BINARY OUTDIR
#   diff -r OUTDIR_BEFORE OUTDIR_AFTER && echo identical
# Each run reads a settings file holding every key at the value a long-time user's file has, so keys
# added later stay at what such a file gives.
set -euo pipefail
bin="$(realpath "$1")"
out="$2"
here="$(cd "$(dirname "$0")/.." && pwd)"
data="$here/tests/data"
mkdir -p "$out"
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
cat >"$profile/dewlark.INI" <<'INI'
[dewlark]
sex=0
use_onmei=0
use_complex=0
freqnum=4
withlevel=0
adjust16=0
adjust8=0
graph=117
katamuki=0
monochrome=0
PeakHold=1
deltatime=2048
OnMem=0
MemSize=15
dialog3d=1
bits=16
channel=2
freq=11025
display=110
chartdot=4
fftparam=12
UseMemDC=0
ColorScale=0
futosa=1
wavmode=0
mado=0
INI
export USERPROFILE="$profile" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy LC_ALL=C.UTF-8 LANG=C.UTF-8
files=(wav_22k_mono_sine440.wav wav_pcm16_44k_stereo.wav mp3_44k_stereo_vbr_xing.mp3 ogg_44k_stereo_q3.ogg
  wav_44k_stereo_pcm24.wav)
combos=(
  ""
  "display=109"
  "display=111"
  "display=112"
  "use_complex=1 use_onmei=2 freqnum=8"
  "use_onmei=1 withlevel=1 graph=118"
  "fftparam=14 mado=3 deltatime=512"
  "katamuki=1 ColorScale=1 monochrome=1 fftparam=10"
)
n=0
for f in "${files[@]}"; do
  for c in "${combos[@]}"; do
    name="$(printf '%02d' "$n")_${f%.*}"
    args=()
    for kv in $c; do args+=(--set "$kv"); done
    echo "$f $c" >"$out/$name.what"
    "$bin" --analyse "$data/$f" "${args[@]}" --png "$out/$name.png" >"$out/$name.csv" 2>"$out/$name.err" \
      || echo "status $?" >>"$out/$name.err"
    n=$((n + 1))
  done
done
echo "snapshot: $n runs in $out"
