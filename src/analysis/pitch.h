#pragma once
#include <vector>

#include "analysis/analysis_params.h"
#include "analysis/block_analysis.h"
#include "analysis/block_view.h"

namespace dl {

class Analyser;

// Empties the A4 history and forgets the note the tracker followed (a new run starts).
void ResetPitchHistory(Analyser& an);

// One step of the running mean of cents: m the mean so far, v the next older value, k the count.
// Values on both sides of the +-50 cent seam are averaged across it.
double MergeCents(double m, double v, int k);

// Records the pitch in the history and puts the mean of the last eight, as the "A4pitch"
// read-out shows it, into `out`.
// A picture shows the mean the buffers' blocks made last, and changes no history.
void UpdateA4Pitch(Analyser& an, AnalysisPurpose purpose, double frequency, BlockAnalysis& out);

// The precise mode's A4 read-out from `frequency` (the line it follows; 0: none this block): its
// deviation from the tuning on the chosen reference, counted only in blocks where the line stayed
// on the note of the block before (an onset or a change of note would pull the mean off); the mean
// of the last eight as above. Between notes the last reading stays while there is a line to read.
void UpdateSteadyA4(Analyser& an, const AnalysisParams& params, AnalysisPurpose purpose, double frequency,
                    BlockAnalysis& out);

// Pointer step from a line power: 32 for a loud line down to 0 for a faint or silent one.
int PointerStep(const AnalysisParams& params, double power);

// Whether the voice steers the pointer: switched on by the user, a voice range chosen, in a run that may
// steer it.
bool VoicePointerActive(const AnalysisParams& params, AnalysisPurpose purpose);

// The move or click of the pointer the single strongest note asks for, added to `actions`.
void VoicePointerSingle(const AnalysisParams& params, AnalysisPurpose purpose, double frequency, double power,
                        std::vector<PointerAction>& actions);

}  // namespace dl
