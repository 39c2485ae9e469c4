#!/usr/bin/env bash
# Measures twenty files (four sounds, each as WAV, MP3, Ogg Vorbis, FLAC and Opus) with
# `dewlark --loudness` and with ffmpeg's loudness filter on the samples the format's reference
# decoder gives, and prints both side by side with their difference; then times both on a
# ten-minute file (WAV and MP3).
# Usage: bench/loudness_compare.sh DEWLARK [DEMO.wav]
set -euo pipefail
bin="$(realpath "$1")"
here="$(cd "$(dirname "$0")/.." && pwd)"
demo="${2:-$here/data/demo.wav}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export USERPROFILE="$work/profile" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy LC_ALL=C
mkdir -p "$USERPROFILE"
grep -m1 "model name" /proc/cpuinfo | sed 's/.*: /cpu: /'

# The sounds: the demo's music, pink noise that swells, plucked chords, a tone that sweeps.
sox "$demo" -r 44100 -c 2 -b 16 "$work/music.wav"
sox -n -r 48000 -c 2 -b 16 "$work/noise.wav" synth 30 pinknoise tremolo 0.2 60 gain -12
sox -n -r 44100 -c 2 -b 16 "$work/pluck.wav" synth 4 pluck C3 pluck E3 pluck G3 repeat 5 gain -6
sox -n -r 44100 -c 1 -b 16 "$work/sweep.wav" synth 20 sine 50:8000 tremolo 0.5 40 gain -9

ref() {  # the reference tool's integrated loudness, LRA and true peak of a WAV
    ffmpeg -nostdin -hide_banner -nostats -i "$1" -af ebur128=peak=true -f null - 2>&1 |
        awk '/^ *I:/ {i=$2} /^ *LRA:/ {l=$2} /^ *Peak:/ {p=$2} END {printf "%s,%s,%s", i, l, p}'
}

echo "file,dewlark_I,ref_I,diff_I,dewlark_LRA,ref_LRA,dewlark_TP,ref_TP"
for s in music noise pluck sweep; do
    w="$work/$s.wav"
    lame --quiet -V 2 "$w" "$work/$s.mp3"
    oggenc -Q -q 4 -o "$work/$s.ogg" "$w"
    flac -s -f -o "$work/$s.flac" "$w"
    opusenc --quiet "$w" "$work/$s.opus"
    for f in "$w" "$work/$s.mp3" "$work/$s.ogg" "$work/$s.flac" "$work/$s.opus"; do
        d="$work/decoded.wav"
        case "$f" in
            *.mp3) mpg123 -q -w "$d" "$f" ;;
            *.ogg) oggdec -Q -o "$d" "$f" ;;
            *.flac) flac -s -d -f -o "$d" "$f" ;;
            *.opus) opusdec --quiet "$f" "$d" ;;
            *) cp "$f" "$d" ;;
        esac
        ours="$("$bin" --loudness "$f" | tail -1)"
        IFS=, read -r _ i lra tp _ _ <<<"$ours"
        IFS=, read -r ri rl rp <<<"$(ref "$d")"
        echo "$(basename "$f"),$i,$ri,$(awk -v a="$i" -v b="$ri" 'BEGIN {printf "%+.2f", a - b}'),$lra,$rl,$tp,$rp"
    done
done

# Ten minutes of the music, as WAV and as MP3: the time each tool takes over the whole file.
reps=$(awk -v s="$(soxi -D "$work/music.wav")" 'BEGIN {print int(600 / s)}')
sox "$work/music.wav" "$work/long.wav" repeat "$reps" trim 0 600
lame --quiet -b 192 "$work/long.wav" "$work/long.mp3"
for f in "$work/long.wav" "$work/long.mp3"; do
    t0=$(date +%s%N)
    "$bin" --loudness "$f" >/dev/null
    t1=$(date +%s%N)
    ffmpeg -nostdin -hide_banner -nostats -i "$f" -af ebur128=peak=true -f null - 2>/dev/null
    t2=$(date +%s%N)
    echo "$(basename "$f") 600 s: dewlark $(((t1 - t0) / 1000000)) ms, ffmpeg $(((t2 - t1) / 1000000)) ms"
done
