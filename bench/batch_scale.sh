#!/usr/bin/env bash
# Many-file analysis against the decoders alone: wall time of --analyse over an hour of 44.1 kHz
# stereo sound in 60 files of every format with one and two workers, beside the time the reference
# decoders take to decode the same files, and the most memory a worker holds on a one-hour file.
# Usage: bench/batch_scale.sh DEWLARK [WORKDIR]   (WORKDIR keeps the generated files between runs)
set -euo pipefail
bin="$(realpath "$1")"
work="${2:-$(mktemp -d)}"
mkdir -p "$work/lib"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy USERPROFILE="${USERPROFILE:-$(mktemp -d)}"

machine() {
    local model l1 l2 l3
    model="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
    l1="$(lscpu -C=NAME,ONE-SIZE 2>/dev/null | awk '$1=="L1d"{print $2}')"
    l2="$(lscpu -C=NAME,ONE-SIZE 2>/dev/null | awk '$1=="L2"{print $2}')"
    l3="$(lscpu -C=NAME,ONE-SIZE 2>/dev/null | awk '$1=="L3"{print $2}')"
    echo "machine: $model, $(nproc) cores, L1d ${l1:-?}, L2 ${l2:-?}, L3 ${l3:-?}"
}

# 60 files of 60 s, a gliding tone over quiet noise, twelve of each format.
kinds=(wav flac mp3 ogg opus)
if [ "$(find "$work/lib" -type f | wc -l)" -ne 60 ]; then
    rm -f "$work/lib"/*
    for i in $(seq 0 59); do
        kind=${kinds[$((i % 5))]}
        name=$(printf 'f%02d' "$i")
        lo=$((110 + i * 7)) hi=$((220 + i * 11))
        sox -n -r 44100 -c 2 -b 16 "$work/tmp.wav" synth 60 sine "$lo-$hi" synth 60 whitenoise mix vol 0.4
        case $kind in
            wav) mv "$work/tmp.wav" "$work/lib/$name.wav" ;;
            flac) flac -s -o "$work/lib/$name.flac" "$work/tmp.wav" ;;
            mp3) lame --quiet "$work/tmp.wav" "$work/lib/$name.mp3" ;;
            ogg) oggenc -Q "$work/tmp.wav" -o "$work/lib/$name.ogg" ;;
            opus) opusenc --quiet "$work/tmp.wav" "$work/lib/$name.opus" ;;
        esac
        rm -f "$work/tmp.wav"
    done
fi

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }

decode_all() {
    for f in "$work"/lib/*; do
        case $f in
            *.wav) sox "$f" -n ;;
            *.flac) flac -s -t "$f" ;;
            *.mp3) mpg123 -q -t "$f" ;;
            *.ogg) oggdec -Q -o /dev/null "$f" ;;
            *.opus) opusdec --quiet "$f" /dev/null ;;
        esac
    done
}

machine
floor=$(seconds decode_all)
one=$(seconds "$bin" --analyse "$work/lib" --jobs 1 --summary --quiet --defaults)
two=$(seconds "$bin" --analyse "$work/lib" --jobs 2 --summary --quiet --defaults)
rows=$(seconds "$bin" --analyse "$work/lib" --jobs 2 --quiet --defaults)
printf 'decoders alone, one after another: %6.1f s\n' "$floor"
printf 'dewlark --jobs 1 --summary:         %6.1f s  (%.2fx the decoders)\n' "$one" "$(echo "$one / $floor" | bc -l)"
printf 'dewlark --jobs 2 --summary:         %6.1f s  (%.2fx faster than one job)\n' "$two" "$(echo "$one / $two" | bc -l)"
printf 'dewlark --jobs 2, every row:        %6.1f s\n' "$rows"

# One hour in one file: the most memory its worker holds.
if [ ! -f "$work/hour.flac" ]; then
    sox -n -r 44100 -c 2 -b 16 "$work/hour.flac" synth 3600 sine 200-900 synth 3600 whitenoise mix vol 0.4
fi
DEWLARK_WORKER_REPORT=1 "$bin" --analyse "$work/hour.flac" --jobs 1 --summary --quiet --defaults 2>&1 >/dev/null |
    sed 's/^dewlark: /one-hour FLAC: /'
