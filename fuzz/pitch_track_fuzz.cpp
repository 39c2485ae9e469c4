// The pitch on its own hop over arbitrary samples: floats of any value a damaged or crafted float
// file can hold (NaN, infinities, huge values), at a rate and a window the first bytes choose,
// handed over in runs of any length. Every frame comes out with a time, and a voiced one with a
// finite frequency in the range the tracker names.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/pitch_track.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    static const double kRates[] = {8000, 11025, 22050, 44100, 48000, 96000, 1000, 4000};
    const double rate = kRates[data[0] % 8];
    const int window = data[1] % 8;
    const size_t run = 1 + data[2] * 37u;
    const bool scaled = data[3] & 1;  // raw bit patterns, or small integers as quiet sound
    data += 4;
    size -= 4;
    std::vector<float> samples(size / 4);
    for (size_t i = 0; i < samples.size(); ++i) {
        if (scaled) {
            samples[i] = float(int8_t(data[4 * i])) / 128.f;
        } else {
            std::memcpy(&samples[i], data + 4 * i, 4);
        }
    }
    dl::PitchTrack track(rate, window, 4400);
    std::vector<dl::PitchFrame> frames;
    for (size_t at = 0; at < samples.size(); at += run)
        track.add(samples.data() + at, std::min(run, samples.size() - at), frames);
    track.finish(frames);
    for (size_t k = 0; k < frames.size(); ++k) {
        if (std::fabs(frames[k].time - 0.01 * double(k)) > 1e-9) {
            std::fprintf(stderr, "frame %zu at %.17g s\n", k, frames[k].time);
            std::abort();
        }
        if (frames[k].voiced && !(frames[k].frequency >= dl::PitchTrack::kLowest &&
                                  frames[k].frequency <= dl::PitchTrack::kHighest))
            std::abort();
    }
    return 0;
}
