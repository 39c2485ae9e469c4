#!/usr/bin/env bash
# Golden outputs of the program, to show a change that should change nothing changed nothing.
#   scripts/golden.sh record DIR   runs the grid and keeps every output in DIR
#   scripts/golden.sh check DIR    runs it again and compares each output with DIR's, byte for byte
# The runs: `--analyse` of every sound in tests/data and data/demo.wav over each line of
# tests/golden/grid.txt (every pair of values meets once), with no settings file (a fresh start) and
# with an old one (tests/golden/old_settings.INI); a picture of each grid line for two of the sounds;
# `--loudness` and `--summary` of every sound. Each run's rows, standard error and exit status are kept.
# DEWLARK (default build/dewlark) names the binary; JOBS (default 2) the runs at once.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-}"
dir="${2:-}"
if [[ ($mode != record && $mode != check) || -z $dir ]]; then
  echo "usage: scripts/golden.sh record|check DIR" >&2
  exit 2
fi
binary="$(realpath "${DEWLARK:-$here/build/dewlark}")"
jobs="${JOBS:-2}"
[ -x "$binary" ] || { echo "golden: no program at $binary (build it first)" >&2; exit 2; }
if [ "$mode" = record ]; then
  [ ! -e "$dir" ] || [ -z "$(ls -A "$dir")" ] || { echo "golden: $dir is not empty" >&2; exit 2; }
  out="$dir"
else
  [ -d "$dir" ] || { echo "golden: no recording in $dir" >&2; exit 2; }
  out="$(mktemp -d)"
  trap 'rm -rf "$out"' EXIT
fi
mkdir -p "$out"
out="$(realpath "$out")"
profiles="$(mktemp -d)"
trap 'rm -rf "$profiles"; [ "$mode" = check ] && rm -rf "$out"' EXIT
mkdir -p "$profiles/fresh" "$profiles/old"
cp "$here/tests/golden/old_settings.INI" "$profiles/old/dewlark.INI"

# Names relative to the tree, so messages read the same from any checkout.
cd "$here"
mapfile -t fixtures < <(ls tests/data/*.wav tests/data/*.mp3 tests/data/*.ogg)
sounds=("${fixtures[@]}" data/demo.wav)
mapfile -t grid < <(grep -v '^#' tests/golden/grid.txt)

# One run a line: NAME<TAB>PROFILE<TAB>ARGUMENTS (words without blanks).
runs="$profiles/runs"
: >"$runs"
for profile in fresh old; do
  for g in "${!grid[@]}"; do
    read -ra settings <<<"${grid[$g]}"
    sets="$(printf -- '--set %s ' "${settings[@]}")"
    for s in "${!sounds[@]}"; do
      printf 'analyse-%s-g%02d-%s\t%s\t--analyse %s %s\n' "$profile" "$g" "$(basename "${sounds[$s]}")" \
        "$profile" "${sounds[$s]}" "$sets" >>"$runs"
    done
    for sound in data/demo.wav "${fixtures[$((g % ${#fixtures[@]}))]}"; do
      name="png-$profile-g$(printf %02d "$g")-$(basename "$sound")"
      printf '%s\t%s\t--analyse %s %s--png %s/%s.png\n' "$name" "$profile" "$sound" "$sets" "$out" "$name" >>"$runs"
    done
  done
  for s in "${sounds[@]}"; do
    printf 'loudness-%s-%s\t%s\t--loudness %s\n' "$profile" "$(basename "$s")" "$profile" "$s" >>"$runs"
  done
  printf 'summary-%s\t%s\t--analyse --summary --jobs 1 %s\n' "$profile" "$profile" "${sounds[*]}" >>"$runs"
done

export binary out profiles
run_one() {
  IFS=$'\t' read -r name profile args <<<"$1"
  # shellcheck disable=SC2086
  USERPROFILE="$profiles/$profile" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    "$binary" $args >"$out/$name.out" 2>"$out/$name.err" && echo 0 >"$out/$name.status" ||
    echo $? >"$out/$name.status"
}
export -f run_one
# shellcheck disable=SC2016
tr '\n' '\0' <"$runs" | xargs -0 -P "$jobs" -n 1 bash -c 'run_one "$1"' _
count="$(wc -l <"$runs")"

if [ "$mode" = record ]; then
  echo "golden: $count runs recorded in $dir"
  exit 0
fi
differ=0
while IFS= read -r f; do
  if ! cmp -s "$out/$f" "$dir/$f"; then
    echo "golden: $f differs" >&2
    differ=$((differ + 1))
  fi
done < <(cd "$dir" && ls)
missing="$(comm -13 <(cd "$dir" && ls) <(cd "$out" && ls) | wc -l)"
[ "$missing" -eq 0 ] || { echo "golden: $missing outputs not in the recording" >&2; differ=$((differ + missing)); }
if [ "$differ" -ne 0 ]; then
  echo "golden: $differ of $(find "$dir" -type f | wc -l) outputs differ ($count runs)" >&2
  exit 1
fi
echo "golden: $count runs, every output byte-identical"
