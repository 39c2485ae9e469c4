#include "display/analysis_settings.h"

#include "analysis/pipeline_levels.h"
#include "platform/wave_format.h"
#include "state/hooks.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"

namespace dl {

AnalysisParams AnalysisParamsOfSettings() {
    AnalysisParams p;
    p.fftparam = Settings.fftparam;
    p.mado = Settings.mado;
    p.wavmode = Settings.wavmode;
    p.katamuki = Settings.katamuki;
    p.display = Settings.display;
    p.Decibel = Settings.Decibel;
    p.Expand = Settings.Expand;
    p.db_top = Settings.db_top;
    p.db_span = Settings.db_span;
    p.freqnum = Settings.freqnum;
    p.precise_peaks = Settings.precise_peaks;
    p.use_complex = Settings.use_complex;
    p.withlevel = Settings.withlevel;
    p.use_onmei = Settings.use_onmei;
    p.reference_a4 = Settings.reference_a4;
    p.tuner = Settings.tuner;
    p.sex = Settings.sex;
    p.VoicePointer = Settings.VoicePointer;
    p.averaging = Settings.averaging;
    p.average_ms = Settings.average_ms;
    p.average_blocks = Settings.average_blocks;
    p.max_hold = Settings.max_hold;
    p.min_hold = Settings.min_hold;
    p.hold_ms = Settings.hold_ms;
    p.weighting = Settings.weighting;
    p.traces = Settings.traces;
    p.peak_trace = Settings.peak_trace;
    p.level_meter = Settings.level_meter;
    p.meter_weighting = Settings.meter_weighting;
    p.meter_ballistics = Settings.meter_ballistics;
    p.PeakHold = Settings.PeakHold;
    p.graph_width = GraphWidth;
    p.samples_readable = SourceInfo.format_tag == kTagPcm || ConversionStream != nullptr;
    p.sample_rate = SourceInfo.sample_rate;
    p.channel_layout = SourceInfo.ChannelLayout;
    p.output_bytes_per_second = SourceInfo.output_bytes_per_second;
    p.block_bytes = BlockBytes;
    p.block_period_ms = DisplayPeriod > 0 ? DisplayPeriod : BufferCount == 1 && TimerPeriod > 0 ? TimerPeriod : 0;
    p.rows_observed = AnalysisObserver != nullptr;
    p.row_loudness = RowLoudness;
    p.labels_read = RowLabels || PresentAnalysedBlock != nullptr;
    p.loudness_scan = LoudnessScan;
    p.voice_pointer_steers = VoicePointerSteers;
    p.japanese = JapaneseUi;
    return p;
}

const BlockAnalysis& MeasureWithSettings(Analyser& analyser, const BlockView& block) {
    analyser.configure(AnalysisParamsOfSettings());
    return analyser.measure(block);
}

bool DecibelRangeOnNow() { return DecibelRangeOn(Settings.db_span, Settings.Decibel, Settings.display); }

}  // namespace dl
