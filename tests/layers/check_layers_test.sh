#!/usr/bin/env bash
# The layer check passes on the tree and fails, naming the file, on includes planted against the rule.
set -uo pipefail
tree="$1"
check="$tree/scripts/check_layers.sh"
fail() { echo "FAIL: $*"; exit 1; }

out="$("$check" "$tree")" || fail "the tree breaks the layering:"$'\n'"$out"

planted="$(mktemp -d)"
trap 'rm -rf "$planted"' EXIT
cp -r "$tree/src" "$planted/src"

# A lower layer reaching up: the display asking the audio engine.
echo '#include "audio/playback.h"' >>"$planted/src/display/frame.cpp"
out="$("$check" "$planted")" && fail "an upward include passed"
[[ "$out" == *"src/display/frame.cpp:"*"includes a higher layer"*"audio/playback.h"* ]] ||
    fail "the upward include is not named: $out"

# The state layer using the toolkit directly.
cp "$tree/src/display/frame.cpp" "$planted/src/display/frame.cpp"
echo '#include <QWidget>' >>"$planted/src/state/settings.cpp"
out="$("$check" "$planted")" && fail "a toolkit include outside the platform layer passed"
[[ "$out" == *"src/state/settings.cpp:"*"only the platform layer"* ]] || fail "the toolkit include is not named: $out"

# Same-layer and downward includes are fine, in either form of the directive.
cp "$tree/src/state/settings.cpp" "$planted/src/state/settings.cpp"
printf '%s\n' '#  include "platform/dc.h"' '#include "display/frame.h"' >>"$planted/src/analysis/pipeline.cpp"
out="$("$check" "$planted")" || fail "downward includes were refused: $out"
echo "layer check: ok"
