#!/usr/bin/env bash
# Checks the layering of the sources: a file includes only headers of its own layer or lower ones
# (platform < state and resources < display < analysis < audio < dialogs < app; main.cpp above all),
# and only the platform layer includes the toolkit's, SDL's and the decoders' headers. Prints each
# offending include and exits 1 when there is one.
# Usage: check_layers.sh [TREE]   (a checkout; by default the one holding this script)
set -euo pipefail
tree="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$tree"
[ -d src ] || { echo "check_layers: no src/ in $tree" >&2; exit 2; }
dirs=(src)
[ -d tests ] && dirs+=(tests)
grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include' "${dirs[@]}" | awk '
function rank(d) {
    if (d == "platform") return 0
    if (d == "state" || d == "resources") return 1
    if (d == "display") return 2
    if (d == "analysis") return 3
    if (d == "audio") return 4
    if (d == "dialogs") return 5
    if (d == "app") return 6
    return -1
}
{
    # path:line:text
    i = index($0, ":"); path = substr($0, 1, i - 1); rest = substr($0, i + 1)
    j = index(rest, ":"); line = substr(rest, 1, j - 1); text = substr(rest, j + 1)
    split(path, part, "/")
    own = (path == "src/main.cpp") ? 7 : rank(part[2])
    if (own < 0) next
    if (match(text, /"[a-z_]+\//)) {
        target = rank(substr(text, RSTART + 1, RLENGTH - 2))
        if (target > own) { print path ":" line ": includes a higher layer: " text; bad = 1 }
    } else if (own > 0 && part[1] == "src" && match(text, /<[^>]+>/)) {
        h = substr(text, RSTART + 1, RLENGTH - 2)
        if (h ~ /^(Q[A-Za-z]*|SDL[A-Za-z0-9_]*\.h|mpg123\.h|ogg\/.*|vorbis\/.*|FLAC\/.*|opus.*\.h|opus\/.*|X11\/.*)$/) {
            print path ":" line ": only the platform layer includes " text; bad = 1
        }
    }
}
END { exit bad }'
