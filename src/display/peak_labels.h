#pragma once
// The labels of the peak list on the graph.
#include <string>

#include "platform/dc.h"
#include "state/analysis.h"

namespace dl {

// A label's text as drawn ("440.7", " 1000", "A4", "A4+23"); "" when it shows none.
std::string PeakLabelText(const PeakLabel& label);
// The level beside a label: "=-12", "-100" or "=0.512".
std::string PeakLabelLevelText(const LevelFigure& level);

// The labels of the analysis' peak list in the label font for `freqnum` labels: one row each
// from the graph's top, or all in the bottom line of the tuning meter.
void DrawPeakList(Dc& target, const BlockAnalysis& a);

// Text output of the labels: past the screen's right edge on the off-screen surface the text is
// composed at the surface's origin and copied into place.
void DrawPeakLabel(Dc& dc, int x, int y, const std::string& text, int length);

}  // namespace dl
