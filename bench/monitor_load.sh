#!/usr/bin/env bash
# Monitors a known input in real time through the disk audio driver and reports what it costs:
# CPU of the process (percent of one core), its resident memory at the start and the end, and when
# each analysed block reached the screen relative to its place in the input.
# Usage: bench/monitor_load.sh DEWLARK INPUT.raw SECONDS [--set KEY=VALUE]...
# INPUT.raw is raw PCM in the record format the --set options choose (default 11025 Hz stereo 16-bit).
set -euo pipefail
bin="$1" input="$2" seconds="$3"
shift 3
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIOFILEIN="$input"
export USERPROFILE="${USERPROFILE:-$(mktemp -d)}"
out="$(mktemp)"
# Each row stamped with the wall clock (ms since the run began) as it arrives.
start_ms=$(date +%s%3N)
"$bin" --monitor --seconds "$seconds" "$@" 2>/dev/null |
    while IFS= read -r line; do echo "$(($(date +%s%3N) - start_ms)),$line"; done >"$out" &
sleep 0.5
pid=$(pgrep -n -f -- "--monitor --seconds $seconds") || { echo "monitor did not start" >&2; exit 1; }
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$pid/status"; }
sleep 1
c0=$(cpu) t0=$(date +%s%3N) r0=$(rss)
sleep $((${seconds%.*} - 3))
c1=$(cpu) t1=$(date +%s%3N) r1=$(rss)
wait
echo "cpu_percent=$(awk -v c="$((c1 - c0))" -v t="$((t1 - t0))" -v k="$ticks" 'BEGIN {printf "%.2f", 100 * c / k / (t / 1000)}')"
echo "rss_kb_start=$r0 rss_kb_end=$r1"
echo "rows=$(($(wc -l <"$out") - 1))"
cp "$out" "${MONITOR_ROWS:-/dev/null}"
rm -f "$out"
