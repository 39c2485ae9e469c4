#pragma once
// Every setting the analysis reads, as one value handed to it: the analysis keeps no copy of the
// settings and reads none of its own. The fields keep the names of the settings they come from.
#include <cstdint>

namespace dl {

// Stored values of `display`: the views.
inline constexpr int kViewLinear = 109, kViewLog = 110, kViewTuning = 111, kViewSpectrogram = 112;
// The level range's narrowest and widest span, in dB.
inline constexpr int kMinDbSpan = 20, kMaxDbSpan = 160;

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
    // The source's shape: its rate, and its layout (bit 0: 16-bit samples, bit 1: two channels).
    uint32_t sample_rate = 0;
    int channel_layout = 1;
    uint32_t output_bytes_per_second = 0;
    // The run: its blocks' size (the level scan reads no fewer than a few hundred of their
    // samples), and the time one analysed block stands for in ms when it is not the block's own
    // length (pictures on their own clock, memory mode's timer), else 0.
    uint32_t block_bytes = 0;
    uint32_t block_period_ms = 0;
    // Who hears the blocks: batch rows (which want the tracker, and the loudness unless
    // `row_loudness` is off), a loudness run (the whole sound's loudness and nothing else), a run
    // whose voice may move the desktop's pointer.
    bool rows_observed = false;
    bool row_loudness = true;
    // Whether anyone reads the labelled peaks (rows, a picture, the window); without, the list
    // stops at the peak the A4 read-out follows.
    bool labels_read = true;
    bool loudness_scan = false;
    bool voice_pointer_steers = false;
    // The messages the analysis gives are in Japanese.
    bool japanese = false;
};

// Whether the source's samples are 16-bit (else 8-bit unsigned).
inline bool WideSamples(const AnalysisParams& params) { return (params.channel_layout & 1) != 0; }

}  // namespace dl
