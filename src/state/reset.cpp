#include "state/reset.h"

#include "state/analysis.h"
#include "state/hooks.h"
#include "state/layout_units.h"
#include "state/references.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

namespace {

// A record back to the value it starts with: a fresh one moved in, so whatever it held (buffers,
// devices, hooks) goes with the old value.
template <class Record>
void renew(Record& record) {
    record = Record{};
}

}  // namespace

void ResetProcessState() {
    renew(Settings);
    ++SettingsGeneration;  // moves on rather than back: nothing kept before matches the renewed settings
    renew(ChosenRecordFormat);
    renew(Shell);
    renew(LayoutUnits);
    renew(WindowSurface);

    renew(SourceState);
    renew(SourceInfo);
    renew(SourceFormat);
    renew(SourceFormatHeld);
    renew(DiskSpace);
    renew(SourceFile);
    renew(SourceRiffChunk);
    renew(SourceSubChunk);

    // The devices close before the buffers they played go.
    renew(RunDevices);
    renew(RunBuffers);
    renew(Run);
    renew(TickClock);
    renew(Hooks);

    renew(DrawSurface);
    renew(DrawSurfaceStore);
    renew(BorderRop);
    renew(Colours);
    renew(SharedText);
    renew(PeakHoldValues);
    renew(LabelFont);
    renew(Spectrogram);
    renew(Hover);
    renew(Tuner);

    renew(RunAnalyser);
    renew(References);
    renew(AnalysisLog);
}

}  // namespace dl
