#!/usr/bin/env bash
# Draws the committed PNG icons from the scalable one (needs ImageMagick; the build does not).
# The SVG is one rect per line on a 64-unit grid; each size is drawn on a canvas a whole multiple
# of both 64 and the size, then averaged down, so every pixel gets its exact share of each bar.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
icons="$here/data/icons/hicolor"
svg="$icons/scalable/apps/dewlark.svg"
gcd() { local a=$1 b=$2; while ((b)); do set -- "$b" $((a % b)); a=$1 b=$2; done; echo "$a"; }
for size in 16 22 24 32 48 64 128 256; do
  canvas=$((64 * size / $(gcd 64 "$size")))
  k=$((canvas / 64))
  draw=()
  while read -r x y w h fill; do
    draw+=(-fill "$fill" -draw "rectangle $((x * k)),$((y * k)) $(((x + w) * k - 1)),$(((y + h) * k - 1))")
  done < <(sed -n 's/.*<rect x="\([0-9]*\)" y="\([0-9]*\)" width="\([0-9]*\)" height="\([0-9]*\)" fill="\(#[0-9a-f]*\)".*/\1 \2 \3 \4 \5/p' "$svg")
  mkdir -p "$icons/${size}x${size}/apps"
  convert -size "${canvas}x${canvas}" xc:none +antialias "${draw[@]}" -scale "${size}x${size}" -depth 8 -strip \
    "PNG32:$icons/${size}x${size}/apps/dewlark.png"
done
