#!/usr/bin/env bash
# Compares two builds of dewlark-bench on one case, run at the same time, one on each of two cores,
# the cores swapped every round: a neighbour slowing the machine down slows both alike, which
# running them one after the other does not give (on a shared virtual machine the second of two
# runs in a row was 5-15 % slower whichever build it was).
# Prints, for every rate of the case (ticks_per_s=..., or each of old_ and fresh_ticks_per_s=...),
# the median over the rounds of the ratio of the rates (head / base: above 1 is faster), then their
# geometric mean and the worst.
# Usage: bench/side_by_side.sh ROUNDS BASE_BENCH HEAD_BENCH [CASE]   (CASE: tick by default)
set -euo pipefail
rounds="${1:?rounds}" base="${2:?base dewlark-bench}" head="${3:?head dewlark-bench}" case="${4:-tick}"
[ "$(nproc)" -ge 2 ] || { echo "side_by_side: needs two cores" >&2; exit 2; }
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
for r in $(seq 1 "$rounds"); do
  if [ $((r % 2)) = 1 ]; then cb=0 ch=1; else cb=1 ch=0; fi
  QT_QPA_PLATFORM=offscreen taskset -c "$cb" "$base" "$case" 2>/dev/null | grep 'ticks_per_s=' >"$out/base.$r" &
  QT_QPA_PLATFORM=offscreen taskset -c "$ch" "$head" "$case" 2>/dev/null | grep 'ticks_per_s=' >"$out/head.$r" &
  wait
done
python3 - "$out" "$rounds" <<'PY'
import math, re, statistics, sys
folder, rounds = sys.argv[1], int(sys.argv[2])
def rates(kind):
    by_line = {}
    for r in range(1, rounds + 1):
        for line in open(f"{folder}/{kind}.{r}"):
            # A line may hold several rates (old_ticks_per_s=, fresh_ticks_per_s=): each is its own.
            head_of_line = re.sub(r"\s*\w*ticks_per_s=\S+.*", "", line).strip()
            for name, rate in re.findall(r"(\w*)ticks_per_s=(\S+)", line):
                by_line.setdefault(f"{head_of_line} {name}".strip(), []).append(float(rate))
    return by_line
base, head = rates("base"), rates("head")
ratios = []
for key, b in base.items():
    if key not in head or len(head[key]) != len(b):
        continue
    r = statistics.median(h / x for h, x in zip(head[key], b))
    ratios.append(r)
    print(f"{key:58s} base {statistics.median(b):8.0f}  head {statistics.median(head[key]):8.0f}  head/base {r:.3f}")
if ratios:
    print(f"{len(ratios)} lines, {rounds} rounds: geometric mean {math.exp(sum(map(math.log, ratios)) / len(ratios)):.3f}, "
          f"worst {min(ratios):.3f}")
PY
