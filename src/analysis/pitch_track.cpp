#include "analysis/pitch_track.h"

#include <algorithm>
#include <cmath>

#include "analysis/block_analysis.h"
#include "analysis/fft.h"

namespace dl {

PitchTrack::PitchTrack(double rate, int type, int reference_a4)
    : rate_(rate), type_(type), reference_a4_(reference_a4) {
    ResetFundamentalTrack(track_);
    // Past the window table's reach (rates far above any the program opens) nothing is read.
    if (!(rate > 0) || rate / kLowest > kWindowTableSize / 2) {
        rate_ = 0;
        return;
    }
    // Two periods of the lowest note, and at least 40 ms to compare them over.
    const int longest = int(rate / kLowest);
    length_ = std::max(2 * longest, longest + int(0.04 * rate)) + 2;
    // The first frames reach before the sound: silence there.
    first_ = -(length_ / 2);
    held_.assign(size_t(length_ / 2), 0.0f);
}

long long PitchTrack::centre(long long k) const { return std::llround(double(k) * kHopSeconds * rate_); }

void PitchTrack::add(const float* mono, size_t count, std::vector<PitchFrame>& frames) {
    if (rate_ <= 0) return;
    held_.insert(held_.end(), mono, mono + count);
    received_ += (long long)count;
    read_frames(frames, false);
}

void PitchTrack::finish(std::vector<PitchFrame>& frames) {
    if (rate_ <= 0) return;
    read_frames(frames, true);
}

void PitchTrack::read_frames(std::vector<PitchFrame>& frames, bool ended) {
    const long long half = length_ / 2;
    for (;; ++next_frame_) {
        const long long c = centre(next_frame_);
        const long long start = c - half;
        if (ended ? c >= received_ : start + length_ > received_) break;
        // Past the end the sound is silence.
        const long long wanted = start + length_ - first_;
        if (wanted > (long long)held_.size()) held_.resize(size_t(wanted), 0.0f);
        frames.emplace_back();
        read_frame(start, frames.back());
        // Its time as the hop names it; the samples are centred on it within half a sample.
        frames.back().time = double(next_frame_) * kHopSeconds;
    }
    // What no later frame reads is let go.
    const long long keep_from = centre(next_frame_) - half;
    if (keep_from > first_) {
        const long long drop = std::min<long long>(keep_from - first_, (long long)held_.size());
        held_.erase(held_.begin(), held_.begin() + drop);
        first_ += drop;
    }
}

void PitchTrack::read_frame(long long start, PitchFrame& frame) {
    const float* x = held_.data() + (start - first_);
    const int m = length_;
    const int p = ceil_log2(m);
    const int n = pow2(p);
    re_.assign(size_t(n), 0.0);
    im_.assign(size_t(n), 0.0);
    // The frame's spectrum, weighted as the blocks' are (the mean off, the window over it).
    double sum = 0;
    for (int i = 0; i < m; ++i) sum += x[i];
    const double mean = sum / m;
    const int h = m / 2;
    if (type_ == kRectangularWindow) {
        for (int i = 0; i < m; ++i) re_[size_t(i)] = 32768.0 * x[i];
    } else {
        ensure_window(window_, type_, h);
        const double* w = window_.window.data();
        for (int i = 0; i < h; ++i) re_[size_t(i)] = 32768.0 * (x[i] - mean) * w[i];
        for (int i = h; i < 2 * h; ++i) re_[size_t(i)] = 32768.0 * (x[i] - mean) * w[2 * h - 1 - i];
        if (m & 1) re_[size_t(m) - 1] = 32768.0 * (x[m - 1] - mean);
    }
    fft2_lower(re_.data(), im_.data(), p);

    BlockAnalysis out;
    TrackerInput in;
    in.mono = x;
    in.samples = m;
    in.rate = rate_;
    in.re = re_.data();
    in.im = im_.data();
    in.n = n;
    in.type = type_;
    in.reference_a4 = reference_a4_;
    in.lowest = kLowest;
    in.highest = kHighest;
    TrackFundamental(track_, tables_, in, out);
    frame.voiced = out.f0_voiced;
    frame.frequency = out.f0_frequency;
    frame.confidence = out.f0_confidence;
    frame.note = out.f0_note;
    frame.cents = out.f0_cents;
    frame.inharmonicity = out.f0_inharmonicity;
}

}  // namespace dl
