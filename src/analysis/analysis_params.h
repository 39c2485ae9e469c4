#pragma once
// Every setting the analysis reads, as one value handed to it: the analysis keeps no copy of the
// settings and reads none of its own. The fields keep the names of the settings they come from.
namespace dl {

struct AnalysisParams {
    // The transform.
    int fftparam = 12;  // 2^fftparam points
    int mado = 0;       // the window function
    int wavmode = 0;    // 2: the autocorrelation is transformed
    int katamuki = 0;   // the spectrum tilted by 3 dB an octave
    // The scale the levels are shown in.
    int display = 110;
    bool Decibel = true;
    bool Expand = false;
    int db_top = 0;
    int db_span = 0;
    // Peaks, notes, the A4 and the tuner.
    int freqnum = 4;
    int precise_peaks = 0;
    int use_complex = 0;  // the old estimator reads peaks between the lines
    int withlevel = 0;    // the labels show their levels
    int use_onmei = 0;
    int reference_a4 = 4400;  // tenths of a hertz
    int tuner = 0;
    // The voice pointer.
    int sex = 0;
    int VoicePointer = 0;
    // The measuring controls.
    int averaging = 0;
    int average_ms = 1000;
    int average_blocks = 32;
    int max_hold = 0;
    int min_hold = 0;
    int hold_ms = 0;
    int weighting = 0;
    int traces = 0;
    int peak_trace = 0;
    // The meter strip.
    int level_meter = 0;
    int meter_weighting = 0;
    int meter_ballistics = 0;
    int PeakHold = 1;
    // The graph's width in columns: the autocorrelation has a lag for each.
    int graph_width = 512;
    // The source: whether its samples reach the analysis as PCM (a compressed one through its
    // conversion); without them a block's level is unavailable.
    bool samples_readable = true;
};

}  // namespace dl
