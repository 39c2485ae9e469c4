#include "analysis/pitch_track.h"

#include <algorithm>
#include <cmath>

#include "analysis/block_analysis.h"
#include "analysis/fft.h"

namespace dl {

int PitchFrameLength(double rate) {
    const int longest = int(rate / PitchTrack::kLowest);
    return std::max(2 * longest, longest + int(0.04 * rate)) + 2;
}

PitchTrack::PitchTrack(double rate, int type, int reference_a4)
    : rate_(rate), type_(type), reference_a4_(reference_a4) {
    ResetFundamentalTrack(reader_.track);
    // Past the window table's reach (rates far above any the program opens) nothing is read.
    if (!(rate > 0) || rate / kLowest > kWindowTableSize / 2) {
        rate_ = 0;
        return;
    }
    length_ = PitchFrameLength(rate);
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
        ReadPitchFrame(reader_, held_.data() + (start - first_), length_, rate_, type_, reference_a4_, frames.back());
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

void ReadPitchFrame(PitchFrameReader& r, const float* x, int m, double rate, int type, int reference_a4,
                    PitchFrame& frame) {
    frame.voiced = false;
    frame.frequency = frame.confidence = frame.cents = frame.inharmonicity = 0;
    frame.note.clear();
    // Too short to hold a window's halves, or past the window table's reach: nothing is read.
    if (m < 4 || !(rate > 0) || m / 2 > kWindowTableSize) return;
    // A clear note followed so far whose pitch moves (a vibrato, a glide) is read from the middle of
    // the frame only, 55 % or 75 % of it, enough for six of its periods and 40 ms: a long frame
    // averages a vibrato's swing away, while a steady note is read more finely from the whole. Three
    // periods of lag still show the octave below; a note that leaves them goes unread for a frame,
    // then the whole frame finds it. Two lengths only, so that the window and its tables are made
    // once for each.
    int length_class = 0;
    if (r.track.voiced && r.track.frequency > 0 && r.confidence >= kShortFrameConfidence && r.moving()) {
        const int wanted = std::max(int(6 * rate / r.track.frequency), int(0.04 * rate));
        for (int k : {1, 2}) {
            const int shorter = (k == 1 ? m * 11 / 20 : m * 3 / 4) & ~1;  // 55 % of the frame, then 75 %
            if (shorter >= wanted && shorter >= 4) {
                x += (m - shorter) / 2;
                m = shorter;
                length_class = k;
                break;
            }
        }
    }
    const int p = ceil_log2(m);
    const int n = pow2(p);
    std::vector<double>& re = r.re;
    std::vector<double>& im = r.im;
    re.assign(size_t(n), 0.0);
    im.assign(size_t(n), 0.0);
    // The frame's spectrum, weighted as the blocks' are (the mean off, the window over it).
    double sum = 0;
    for (int i = 0; i < m; ++i) sum += x[i];
    const double mean = sum / m;
    const int h = m / 2;
    if (type == kRectangularWindow) {
        for (int i = 0; i < m; ++i) re[size_t(i)] = 32768.0 * x[i];
    } else {
        WindowTableRecord& table = r.windows[size_t(length_class)];
        ensure_window(table, type, h);
        const double* w = table.window.data();
        for (int i = 0; i < h; ++i) re[size_t(i)] = 32768.0 * (x[i] - mean) * w[i];
        for (int i = h; i < 2 * h; ++i) re[size_t(i)] = 32768.0 * (x[i] - mean) * w[2 * h - 1 - i];
        if (m & 1) re[size_t(m) - 1] = 32768.0 * (x[m - 1] - mean);
    }
    fft2_lower(re.data(), im.data(), p);

    BlockAnalysis out;
    TrackerInput in;
    in.mono = x;
    in.samples = m;
    in.rate = rate;
    in.re = re.data();
    in.im = im.data();
    in.n = n;
    in.type = type;
    in.reference_a4 = reference_a4;
    in.lowest = PitchTrack::kLowest;
    in.highest = PitchTrack::kHighest;
    TrackFundamental(r.track, r.tables, in, out);
    frame.voiced = out.f0_voiced;
    frame.frequency = out.f0_frequency;
    frame.confidence = out.f0_confidence;
    frame.note = out.f0_note;
    frame.cents = out.f0_cents;
    frame.inharmonicity = out.f0_inharmonicity;
    r.confidence = frame.voiced ? frame.confidence : 0.0;
    r.note_moved(frame.voiced ? frame.frequency : 0.0);
}

void PitchFrameReader::note_moved(double frequency) {
    const double step = frequency > 0 && last > 0 ? std::fabs(1200 * std::log2(frequency / last)) : 0.0;
    steps[next_step] = step;
    next_step = (next_step + 1) % steps.size();
    last = frequency;
}

// A few steps, not one: a reading set right once after an onset is no moving pitch.
bool PitchFrameReader::moving() const {
    int moved = 0;
    for (double step : steps) moved += step > kMovingCents;
    return moved >= 3;
}

}  // namespace dl
