#pragma once
// The precise peak estimator: a peak's frequency read from the lines around it by fitting the
// spectrum one steady tone would give there (the window's own kernel, the tone's mirror image at
// the negative frequency and the mean taken off included), so it is unbiased for every window,
// transform size, block length and rate.

namespace dl {

class PreciseTables;

struct PreciseLine {
    double line = 0;      // where the tone lies, in lines (fractional)
    bool fitted = false;  // false: the peak's own line, where the lines do not look like one tone
};

// The peak at line b of a spectrum (re/im hold lines 0..n/2-1 as the pipeline leaves them, X/n) of
// a block of `samples` samples (the first min(samples, n) were transformed) weighted by window
// `type`. A neighbouring maximum within the main lobe, or a fit that runs away or leaves much
// unexplained, gives the line itself.
PreciseLine PrecisePeakLine(PreciseTables& tables, const double* re, const double* im, int n, int b, int samples,
                            int type);

// Lines of the transform per bin of the block (2 pi / samples radians): n / samples, or 1 and more.
double LinesPerBin(PreciseTables& tables, int n, int samples, int type);
// The main lobe's half-width in lines, and the lowest line whose tone the block separates from its
// mirror image (and so from the mean): below it a peak is not a tone's.
double MainLobeLines(PreciseTables& tables, int n, int samples, int type);
double LowestResolvedLine(PreciseTables& tables, int n, int samples, int type);

}  // namespace dl
