#include "analysis/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "analysis/gated_loudness.h"
#include "analysis/k_weighting.h"
#include "analysis/loudness_windows.h"
#include "analysis/true_peak.h"

namespace dl {

namespace {

bool own_true_peak(uint32_t rate) { return rate < 96000; }

// The library measures only the true peak at 96 kHz and above; everything else is measured here.
int library_mode(unsigned parts, uint32_t rate) {
    return (parts & kLoudnessTruePeak) && !own_true_peak(rate) ? EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_SAMPLE_PEAK : 0;
}

// Frames weighed at a time.
constexpr size_t kPiece = 512;

struct StateDeleter {
    void operator()(ebur128_state* s) const { ebur128_destroy(&s); }
};
using State = std::unique_ptr<ebur128_state, StateDeleter>;

bool measurable(int channels, uint32_t rate) {
    return (channels == 1 || channels == 2 || channels == 5 || channels == 6) && rate != 0;
}

State make_state(int channels, uint32_t rate, int mode) {
    if (!measurable(channels, rate) || mode == 0) return nullptr;
    State s(ebur128_init(unsigned(channels), rate, mode));
    if (!s) return nullptr;
    // Five channels have no LFE between the centre and the surrounds.
    if (channels == 5) {
        ebur128_set_channel(s.get(), 3, EBUR128_LEFT_SURROUND);
        ebur128_set_channel(s.get(), 4, EBUR128_RIGHT_SURROUND);
    }
    return s;
}

}  // namespace

struct LoudnessMeter::Impl {
    State state;  // the library's, for the true peak at high rates
    int channels = 0;
    uint32_t rate = 0;
    unsigned parts = 0;
    int mode = 0;  // the library's, 0: no library state
    std::unique_ptr<KWeighting> weighting;
    std::unique_ptr<LoudnessWindows> windows;
    std::unique_ptr<GatedLoudness> gated;
    std::unique_ptr<TruePeak> true_peak;  // where the library does not measure it
    std::array<double, 6> sample_peak{};

    template <class Sample>
    bool add(const Sample* frames, size_t count, double scale);
    bool add_to_library(const int16_t* frames, size_t count) {
        static_assert(sizeof(short) == sizeof(int16_t));
        return ebur128_add_frames_short(state.get(), reinterpret_cast<const short*>(frames), count) == EBUR128_SUCCESS;
    }
    bool add_to_library(const float* frames, size_t count) {
        return ebur128_add_frames_float(state.get(), frames, count) == EBUR128_SUCCESS;
    }
};

template <class Sample>
bool LoudnessMeter::Impl::add(const Sample* frames, size_t count, double scale) {
    bool kept = true;
    const size_t C = size_t(channels);
    if (parts & (kLoudnessSamplePeak | kLoudnessTruePeak)) {
        for (size_t c = 0; c < C; ++c) {
            double largest = 0;
            for (size_t i = 0; i < count; ++i) {
                const double v = double(frames[i * C + c]);
                largest = std::max(largest, std::max(v, -v));  // a NaN leaves it as it was
            }
            sample_peak[c] = std::max(sample_peak[c], largest / scale);
        }
    }
    if (true_peak) true_peak->add(frames, count);
    if (weighting) {
        double energy[kPiece];
        for (size_t start = 0; start < count; start += kPiece) {
            const size_t n = std::min(kPiece, count - start);
            weighting->weigh(frames + start * C, n, energy);
            if (windows) windows->add(energy, n);
            if (gated && !gated->add(energy, n)) kept = false;
        }
    }
    if (state && !add_to_library(frames, count)) kept = false;
    return kept;
}

LoudnessMeter::LoudnessMeter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LoudnessMeter::~LoudnessMeter() = default;

std::unique_ptr<LoudnessMeter> LoudnessMeter::create(int channels, uint32_t rate, unsigned parts, bool bounded) {
    try {
        if (!measurable(channels, rate)) return nullptr;
        auto impl = std::make_unique<Impl>();
        impl->mode = library_mode(parts, rate);
        impl->state = make_state(channels, rate, impl->mode);
        if (impl->mode != 0 && !impl->state) return nullptr;
        const unsigned weighted = kLoudnessMomentary | kLoudnessShortTerm | kLoudnessIntegrated | kLoudnessRange;
        if (parts & weighted) impl->weighting = std::make_unique<KWeighting>(channels, rate);
        if (parts & (kLoudnessMomentary | kLoudnessShortTerm))
            impl->windows = std::make_unique<LoudnessWindows>(rate, (parts & kLoudnessShortTerm) != 0);
        if (parts & (kLoudnessIntegrated | kLoudnessRange))
            impl->gated = std::make_unique<GatedLoudness>(rate, (parts & kLoudnessRange) != 0, bounded);
        if ((parts & kLoudnessTruePeak) && own_true_peak(rate)) impl->true_peak = std::make_unique<TruePeak>(channels);
        impl->channels = channels;
        impl->rate = rate;
        impl->parts = parts;
        return std::unique_ptr<LoudnessMeter>(new LoudnessMeter(std::move(impl)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Whether the meter stands where it can measure: a library state where it needs one.
bool LoudnessMeter::ready() const { return impl_->mode == 0 || impl_->state != nullptr; }

bool LoudnessMeter::add(const int16_t* frames, size_t count) {
    if (!ready() || count == 0) return ready();
    return impl_->add(frames, count, 32768.0);
}

bool LoudnessMeter::add(const float* frames, size_t count) {
    if (!ready() || count == 0) return ready();
    return impl_->add(frames, count, 1.0);
}

bool LoudnessMeter::reset() {
    // The library keeps its history until it is made anew.
    impl_->state.reset();
    impl_->state = make_state(impl_->channels, impl_->rate, impl_->mode);
    if (impl_->weighting) impl_->weighting->reset();
    if (impl_->windows) impl_->windows->reset();
    if (impl_->gated) impl_->gated->reset();
    if (impl_->true_peak) impl_->true_peak->reset();
    impl_->sample_peak.fill(0.0);
    return ready();
}

double LoudnessMeter::momentary() const {
    if (!(impl_->parts & kLoudnessMomentary) || !ready()) return -HUGE_VAL;
    return impl_->windows->momentary();
}

double LoudnessMeter::short_term() const {
    if (!(impl_->parts & kLoudnessShortTerm) || !ready()) return -HUGE_VAL;
    return impl_->windows->short_term();
}

double LoudnessMeter::integrated() const {
    if (!(impl_->parts & kLoudnessIntegrated)) return -HUGE_VAL;
    const double v = impl_->gated->integrated();
    return v > kQuietestLufs ? v : -HUGE_VAL;
}

double LoudnessMeter::range() const {
    if (!(impl_->parts & kLoudnessRange)) return 0;
    try {
        return impl_->gated->range();
    } catch (const std::bad_alloc&) {
        return 0;  // no room to sort the values: as with no values
    }
}

double LoudnessMeter::true_peak() const {
    if (!(impl_->parts & kLoudnessTruePeak)) return 0;
    if (impl_->true_peak) return impl_->true_peak->peak();
    double peak = 0;
    for (int c = 0; impl_->state && c < impl_->channels; ++c) {
        double v = 0;
        if (ebur128_true_peak(impl_->state.get(), unsigned(c), &v) == EBUR128_SUCCESS && v > peak) peak = v;
    }
    return peak;
}

double LoudnessMeter::sample_peak() const {
    if (!(impl_->parts & (kLoudnessSamplePeak | kLoudnessTruePeak))) return 0;
    return *std::max_element(impl_->sample_peak.begin(), impl_->sample_peak.end());
}

int LoudnessMeter::channels() const { return impl_->channels; }
uint32_t LoudnessMeter::rate() const { return impl_->rate; }
unsigned LoudnessMeter::parts() const { return impl_->parts; }

}  // namespace dl
