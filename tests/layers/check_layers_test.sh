#!/usr/bin/env bash
# The layer check passes on the tree and fails, naming the file, on each way of breaking the
# layering planted in a copy of it.
set -uo pipefail
tree="$1"
check="$tree/scripts/check_layers.sh"
fail() { echo "FAIL: $*"; exit 1; }

out="$("$check" "$tree")" || fail "the tree breaks the layering:"$'\n'"$out"

planted="$(mktemp -d)"
trap 'rm -rf "$planted"' EXIT
fresh() {
    rm -rf "$planted"/*
    cp -r "$tree/src" "$tree/bench" "$tree/fuzz" "$planted/"
    mkdir "$planted/tests"
    for d in "$tree"/tests/*/; do [ "$(basename "$d")" = data ] || cp -r "$d" "$planted/tests/"; done
}
forms=0
# expect_caught WHAT FILE WANTED LINE...: the lines added to FILE (created when missing) must make
# the check fail with an output holding FILE (its folder, for a folder refused) and WANTED.
expect_caught() {
    local what="$1" file="$2" wanted="$3" named="$2"
    [[ "$wanted" == "a folder"* ]] && named="$(dirname "$file"):"
    shift 3
    fresh
    mkdir -p "$(dirname "$planted/$file")"
    printf '%s\n' "$@" >>"$planted/$file"
    out="$("$check" "$planted")" && fail "$what passed"
    [[ "$out" == *"$named"*"$wanted"* ]] || fail "$what is not named ($named, $wanted): $out"
    forms=$((forms + 1))
}
higher="includes a higher layer"
library="only the platform layer includes"

# The forms that reach above a file's layer or around the platform layer.
# 1. A lower layer naming a higher one's header.
expect_caught "an upward include" src/display/frame.cpp "$higher" '#include "audio/playback.h"'
# 2. The toolkit outside the platform layer.
expect_caught "a toolkit header" src/state/settings.cpp "$library" '#include <QWidget>'
# 3. SDL outside the platform layer.
expect_caught "an SDL header" src/analysis/peaks.cpp "$library" '#include <SDL.h>'
# 4. A toolkit module path.
expect_caught "a toolkit module path" src/display/frame.cpp "$library" '#include <QtWidgets/QWidget>'
# 5. Another module, in its lower-case form.
expect_caught "a lower-case toolkit header" src/audio/run.cpp "$library" '#include <QtCore/qstring.h>'
# 6. SDL through its folder.
expect_caught "an SDL folder path" src/audio/playback.cpp "$library" '#include <SDL2/SDL.h>'
# 7. A decoder's C++ interface.
expect_caught "a decoder's C++ header" src/audio/source.cpp "$library" '#include <FLAC++/decoder.h>'
# 8. A path up and over into a higher layer.
expect_caught "a relative upward include" src/display/frame.cpp "$higher" '#include "../app/program.h"'
# 9. The same, hidden inside the path.
expect_caught "an upward include through .." src/state/settings.cpp "$higher" '#include "platform/../app/program.h"'
# 10. A header of the program in angle brackets.
expect_caught "an angle include of a higher layer" src/analysis/peaks.cpp "$higher" '#include <app/program.h>'
# 11. The toolkit reached through a platform header that includes it.
expect_caught "a platform header that brings the toolkit" src/display/frame.cpp "$library" \
    '#include "platform/main_window_qt.h"'
# 12. A folder that is no layer.
expect_caught "a new folder under src/" src/extras/extra.cpp "a folder that is not a layer's" \
    '#include "state/settings.h"'
# 13. A benchmark using the toolkit itself.
expect_caught "the toolkit in a benchmark" bench/graph_bench.cpp "$library" '#include <QApplication>'
# 14. A fuzz target using a decoder itself.
expect_caught "a decoder in a fuzz target" fuzz/converter_fuzz.cpp "$library" '#include <mpg123.h>'
# 15. The tests of a lower area using a higher layer.
expect_caught "an area's tests reaching up" tests/display/frame_test.cpp "$higher" '#include "audio/playback.h"'
# 16. The analysis drawing: the display lies above it.
expect_caught "the analysis drawing" src/analysis/pipeline.cpp "$higher" '#include "display/block_drawing.h"'
# 17. The analysis reaching for the desktop or the process: it hands such things to its callers.
expect_caught "the analysis moving the pointer" src/analysis/pitch.cpp "the analysis includes a platform header" \
    '#include "platform/pointer.h"'
expect_caught "the analysis ending the process" src/analysis/fft.cpp "the analysis includes a platform header" \
    '#include "platform/process.h"'

# 18. The analysis reading the settings, the run's records or the resources: they come to it as
# parameters, and lie above it.
expect_caught "the analysis reading the settings" src/analysis/pipeline.cpp "$higher" '#include "state/settings.h"'
expect_caught "the analysis reading a command's id" src/analysis/pipeline_levels.h "$higher" \
    '#include "resources/command_ids.h"'
# 19. The analysis keeping state of its own outside its analyser objects.
static="a mutable static in the analysis"
expect_caught "a static in an analysis function" src/analysis/peaks.cpp "$static" \
    'namespace dl {' 'int planted_calls() {' '    static int calls = 0;' '    return ++calls;' '}' '}'
expect_caught "a cache kept in a static vector" src/analysis/pitch.cpp "$static" \
    'namespace dl {' 'void planted_cache() {' '    static std::vector<double> kept;' '    kept.clear();' '}' '}'
expect_caught "a variable at the analysis' namespace scope" src/analysis/meter_strip.cpp "at namespace scope in the analysis" \
    'namespace dl {' 'double planted_last_level = 0;' '}'

# Further ways around it.
expect_caught "a library the program does not know" src/audio/devices.cpp "$library" '#include <pulse/simple.h>'
expect_caught "the loudness library outside its wrapper" src/analysis/pipeline.cpp "$library" \
    '#include <ebur128.h>'
expect_caught "a computed include" src/state/settings.cpp "an include the check cannot read" \
    '#define DL_HEADER <QWidget>' '#include DL_HEADER'
expect_caught "a folder inside a layer" src/audio/more/extra.h "a folder that is not a layer's" '#pragma once'
expect_caught "a source beside the layers" src/extra.cpp "a source file outside the layers' folders" '// nothing'
expect_caught "the core using the tests' code" src/audio/run.cpp "includes a file of tests/" \
    '#include "../../tests/support/test_support.h"'
expect_caught "a missing header" src/audio/run.cpp "includes a file that is not in the tree" '#include "no_such.h"'
expect_caught "an area's tests using a higher area's fixture" tests/display/frame_test.cpp "$higher" \
    '#include "audio/playback_fixture.h"'
# The records' writers: only the layers a state header names write its records.
writes="which only"
expect_caught "a run record written outside audio/" src/display/frame.cpp "writes ChunkSize, $writes audio" \
    'void planted_write() { dl::ChunkSize = 0; }'
expect_caught "the tick's stride stepped by the analysis" src/analysis/peaks.cpp "writes LevelScanStride" \
    'void planted_write() { ++dl::LevelScanStride; }'
expect_caught "a record's buffer emptied by the window" src/app/program.cpp "writes RunBuffers" \
    'void planted_write() { dl::RunBuffers.SampleStorage[0].clear(); }'
expect_caught "a record taken by a reference that is not const" src/dialogs/about_box.cpp "writes WaveHeaders" \
    'void planted_write() { auto& h = dl::WaveHeaders; (void)h; }'
expect_caught "a hook set by the audio layer" src/audio/devices.cpp "writes AnalysisObserver, $writes app" \
    'void planted_write() { dl::AnalysisObserver = nullptr; }'
# ... and ResetProcessState gives every record back as it started.
expect_caught "a record the reset forgets" src/state/run.h "PlantedRecord is not renewed" \
    'namespace dl {' 'inline int PlantedRecord;' '}'
expect_caught "a record that starts at a value of its own" src/state/tick_clock.h "PlantedStart starts at a value" \
    'namespace dl {' 'inline int PlantedStart = 3;' '}'
expect_caught "a record whose writers are not named" src/state/planted.h "Planted has no" \
    '#pragma once' 'namespace dl {' 'inline int Planted;' '}'
[ "$forms" -eq 39 ] || fail "$forms forms tried"

# Same-layer and downward includes are fine, in every form that names them in quotes; the tests
# and the platform layer use the toolkit; the app's tests use the audio tests' fixtures.
fresh
printf '%s\n' '#  include "platform/dc.h"' '#include "analysis/pipeline.h"' '#include "../platform/dc.h"' \
    '#include "frame.h"' '#include <cstdint>' '#include <sys/stat.h>' >>"$planted/src/display/frame.cpp"
printf '%s\n' '#include "analysis/loudness_meter.h"' 'namespace dl {' 'const int kPlantedSteps = 3;' \
    'int planted_step(int k) {' '    static constexpr int kStep = 2;' '    static const double kHalf = 0.5;' \
    '    return k * kStep + int(kHalf);' '}' '}' >>"$planted/src/analysis/meter_strip.cpp"
printf '%s\n' '#include <QWidget>' >>"$planted/src/platform/dc.cpp"
printf '%s\n' '#include "platform/main_window_qt.h"' '#include <QWidget>' >>"$planted/tests/platform/dc_test.cpp"
printf '%s\n' '#include "audio/playback_fixture.h"' >>"$planted/tests/app/usage_test.cpp"
# Reading a record, through a const reference too, writes nothing; its writers write it.
printf '%s\n' 'inline uint32_t planted_read() { const auto& b = dl::RunBuffers; return b.ChunkSize + dl::ChunkSize; }' \
    'inline bool planted_compare() { return dl::ChunkSize == 0 || dl::ChunkSize >= 1 || dl::ChunkSize != 2; }' \
    >>"$planted/src/display/frame.cpp"
printf '%s\n' 'void planted_write() { dl::ChunkSize = 0; dl::SampleStorage[0].clear(); }' >>"$planted/src/audio/run.cpp"
out="$("$check" "$planted")" || fail "allowed includes or reads were refused: $out"
echo "layer check: ok ($forms forms caught)"
