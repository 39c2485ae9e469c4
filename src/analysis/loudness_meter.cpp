#include "analysis/loudness_meter.h"

#include <ebur128.h>

#include <cmath>
#include <new>

#include "analysis/loudness_windows.h"
#include "analysis/true_peak.h"

namespace dl {

namespace {

bool own_true_peak(uint32_t rate) { return rate < 96000; }

// What the library measures: the gated parts and the peaks. The momentary and short-term windows
// are kept here (LoudnessWindows): the library sums a whole window again at every read.
int library_mode(unsigned parts, bool bounded, uint32_t rate) {
    int mode = 0;
    if (parts & kLoudnessIntegrated) mode |= EBUR128_MODE_I;
    if (parts & kLoudnessRange) mode |= EBUR128_MODE_LRA;
    // Below 96 kHz the true peak is measured here: the library's oversampler costs more than the
    // rest of the measurement together.
    if ((parts & kLoudnessTruePeak) && !own_true_peak(rate)) mode |= EBUR128_MODE_TRUE_PEAK;
    if (parts & (kLoudnessSamplePeak | kLoudnessTruePeak)) mode |= EBUR128_MODE_SAMPLE_PEAK;
    if (mode != 0 && bounded) mode |= EBUR128_MODE_HISTOGRAM;
    return mode;
}

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

// The library's value, or -infinity when it has none.
template <class Get>
double loudness(ebur128_state* s, Get get) {
    double v = -HUGE_VAL;
    if (!s || get(s, &v) != EBUR128_SUCCESS || !(v > kQuietestLufs)) return -HUGE_VAL;
    return v;
}

}  // namespace

struct LoudnessMeter::Impl {
    State state;
    int channels = 0;
    uint32_t rate = 0;
    unsigned parts = 0;
    int mode = 0;                         // the library's, 0: no library state
    std::unique_ptr<LoudnessWindows> windows;
    std::unique_ptr<TruePeak> true_peak;  // where the library does not measure it
};

LoudnessMeter::LoudnessMeter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LoudnessMeter::~LoudnessMeter() = default;

std::unique_ptr<LoudnessMeter> LoudnessMeter::create(int channels, uint32_t rate, unsigned parts, bool bounded) {
    try {
        if (!measurable(channels, rate)) return nullptr;
        auto impl = std::make_unique<Impl>();
        impl->mode = library_mode(parts, bounded, rate);
        impl->state = make_state(channels, rate, impl->mode);
        if (impl->mode != 0 && !impl->state) return nullptr;
        if (parts & (kLoudnessMomentary | kLoudnessShortTerm))
            impl->windows = std::make_unique<LoudnessWindows>(channels, rate, (parts & kLoudnessShortTerm) != 0);
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
    static_assert(sizeof(short) == sizeof(int16_t));
    if (impl_->true_peak) impl_->true_peak->add(frames, count);
    if (impl_->windows) impl_->windows->add(frames, count);
    return !impl_->state || ebur128_add_frames_short(impl_->state.get(), reinterpret_cast<const short*>(frames),
                                                     count) == EBUR128_SUCCESS;
}

bool LoudnessMeter::add(const float* frames, size_t count) {
    if (!ready() || count == 0) return ready();
    if (impl_->true_peak) impl_->true_peak->add(frames, count);
    if (impl_->windows) impl_->windows->add(frames, count);
    return !impl_->state || ebur128_add_frames_float(impl_->state.get(), frames, count) == EBUR128_SUCCESS;
}

bool LoudnessMeter::reset() {
    // The library keeps its history until it is made anew.
    impl_->state.reset();
    impl_->state = make_state(impl_->channels, impl_->rate, impl_->mode);
    if (impl_->true_peak) impl_->true_peak->reset();
    if (impl_->windows) impl_->windows->reset();
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
    return loudness(impl_->state.get(), ebur128_loudness_global);
}

double LoudnessMeter::range() const {
    if (!(impl_->parts & kLoudnessRange) || !impl_->state) return 0;
    double v = 0;
    return ebur128_loudness_range(impl_->state.get(), &v) == EBUR128_SUCCESS ? v : 0;
}

namespace {

template <class Get>
double largest_peak(ebur128_state* s, int channels, Get get) {
    double peak = 0;
    for (int c = 0; s && c < channels; ++c) {
        double v = 0;
        if (get(s, unsigned(c), &v) == EBUR128_SUCCESS && v > peak) peak = v;
    }
    return peak;
}

}  // namespace

double LoudnessMeter::true_peak() const {
    if (!(impl_->parts & kLoudnessTruePeak)) return 0;
    if (impl_->true_peak) return impl_->true_peak->peak();
    return largest_peak(impl_->state.get(), impl_->channels, ebur128_true_peak);
}

double LoudnessMeter::sample_peak() const {
    if (!(impl_->parts & (kLoudnessSamplePeak | kLoudnessTruePeak))) return 0;
    return largest_peak(impl_->state.get(), impl_->channels, ebur128_sample_peak);
}

int LoudnessMeter::channels() const { return impl_->channels; }
uint32_t LoudnessMeter::rate() const { return impl_->rate; }
unsigned LoudnessMeter::parts() const { return impl_->parts; }

}  // namespace dl
