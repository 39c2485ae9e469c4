#!/usr/bin/env python3
"""Writes grid.txt: an all-pairs set of `--set` runs over the settings that shape the analysis, so
every pair of values of any two settings meets in at least one run. Deterministic: the same list
every time, so recorded outputs stay comparable."""
import itertools
import os

FACTORS = [
    ("display", [109, 110, 111, 112]),
    ("mado", list(range(8))),
    ("fftparam", [8, 12, 16]),
    ("averaging", [0, 1, 2, 3]),
    ("traces", [0, 1, 2, 3]),
    ("weighting", [0, 1, 2]),
]


def uncovered_pairs():
    pairs = set()
    for (i, (_, a)), (j, (_, b)) in itertools.combinations(enumerate(FACTORS), 2):
        for x in a:
            for y in b:
                pairs.add((i, x, j, y))
    return pairs


def pairs_of(row):
    return {(i, row[i], j, row[j]) for i, j in itertools.combinations(range(len(row)), 2)}


def grid():
    left = uncovered_pairs()
    rows = []
    while left:
        # Start from the first pair not yet met, then fill each other setting with the value that
        # meets the most new pairs (the first such value on a tie).
        i, x, j, y = min(left)
        row = [None] * len(FACTORS)
        row[i], row[j] = x, y
        for k, (_, values) in enumerate(FACTORS):
            if row[k] is not None:
                continue
            best, gain = values[0], -1
            for v in values:
                row[k] = v
                g = sum(1 for (a, va, b, vb) in left
                        if k in (a, b) and row[a] == va and row[b] == vb and row[a] is not None and row[b] is not None)
                if g > gain:
                    best, gain = v, g
            row[k] = best
        rows.append(row)
        left -= pairs_of(row)
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "grid.txt"), "w") as out:
        out.write("# written by make_grid.py: one run a line, every pair of values met at least once\n")
        for row in grid():
            out.write(" ".join(f"{name}={v}" for (name, _), v in zip(FACTORS, row)) + "\n")


if __name__ == "__main__":
    main()
