#pragma once
// Measures a block with the run's analyser as a tick would: the settings and the source of the
// moment, the run's level-scan stride.
#include <cstdint>

#include "display/analysis_settings.h"
#include "state/analysis.h"
#include "state/tick_clock.h"

namespace dl_test {

inline const dl::BlockAnalysis& MeasureWithSettings(const uint8_t* data, uint32_t bytes, double seconds = 0,
                                                   dl::AnalysisPurpose purpose = dl::AnalysisPurpose::Both) {
    dl::BlockView view;
    view.data = data;
    view.bytes = bytes;
    view.seconds = seconds;
    view.purpose = purpose;
    view.scan_stride = dl::LevelScanStride;
    return dl::MeasureWithSettings(dl::RunAnalyser, view);
}

}  // namespace dl_test
