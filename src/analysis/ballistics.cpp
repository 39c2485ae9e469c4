#include "analysis/ballistics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dl {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFullScale = 32768.0;

// The quasi-peak meters: a rectifier that charges the reading towards every higher sample with a
// time constant, and a reading that falls by so many dB in so many seconds. The time constants
// put a 10 ms burst of 5 kHz 1 dB (type I) and 2 dB (type IIb) below the steady reading, and a 5 ms
// one 2 and 4 dB below.
struct Ppm {
    double attack_ms, fall_db, fall_seconds;
};
constexpr Ppm kTypeI{1.5, 20, 1.5};
constexpr Ppm kTypeIIb{2.6, 24, 2.8};

double ppm_step(const BallisticConstants& c, double env, double x) {
    return x > env ? env + c.attack * (x - env) : env * c.fall;
}

// The largest magnitude among every `stride`-th sample. Interleaved stereo is taken sixteen values
// at a time, each lane keeping its own largest and smallest, so that the loop vectorises.
int largest_magnitude(const int16_t* samples, size_t count, size_t stride) {
    int high = 0;
    size_t i = 0;
    if ((stride == 1 || stride == 2) && count > 0) {
        constexpr size_t kLanes = 16;
        // Sixteen values in one vector (two registers without AVX2): the compiler left the lanes
        // of a plain array in memory, one value at a time.
        using Lanes = int16_t __attribute__((vector_size(2 * kLanes)));
        Lanes most{}, least{};
        // From this channel's first value to its last: the other channel's value after it is
        // not this block's to read.
        const size_t values = (count - 1) * stride + 1;
        size_t j = 0;
        for (; j + kLanes <= values; j += kLanes) {
            Lanes v;
            std::memcpy(&v, samples + j, sizeof v);
            most = most > v ? most : v;
            least = least < v ? least : v;
        }
        // The lanes that hold this channel: all of them for mono, every other for stereo.
        for (size_t k = 0; k < kLanes; k += stride) high = std::max({high, int(most[k]), -int(least[k])});
        i = j / stride;
    }
    for (; i < count; ++i) high = std::max(high, std::abs(int(samples[i * stride])));
    return high;
}

// The reading a steady sine settles at, to scale it to the sine's peak.
double ppm_gain(const BallisticConstants& c, uint32_t rate) {
    const double hz = std::min(1000.0, rate / 8.0);
    const size_t settle = size_t(0.25 * rate), look = size_t(0.05 * rate);
    double env = 0, high = 0;
    for (size_t i = 0; i < settle + look; ++i) {
        env = ppm_step(c, env, std::fabs(std::sin(2 * kPi * hz * double(i) / rate)));
        if (i >= settle) high = std::max(high, env);
    }
    return high > 0 ? 1 / high : 1;
}

// The pointer as a second-order system over the rectified wave, advanced one sample at a time by
// the exact solution for an input held over the sample.
void make_vu(BallisticConstants& c, uint32_t rate) {
    const double w = VuNaturalFrequency(), z = VuDamping(), t = 1.0 / rate;
    const double a[2][2] = {{0, t}, {-w * w * t, -2 * z * w * t}};
    double power[2][2] = {{1, 0}, {0, 1}};  // (A t)^k / k!
    double phi[2][2] = {{1, 0}, {0, 1}};
    double psi[2][2] = {{1, 0}, {0, 1}};  // sum of (A t)^k / (k+1)!
    for (int k = 1; k < 16; ++k) {
        double next[2][2];
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j) next[i][j] = (power[i][0] * a[0][j] + power[i][1] * a[1][j]) / k;
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j) {
                power[i][j] = next[i][j];
                phi[i][j] += next[i][j];
                psi[i][j] += next[i][j] / (k + 1);
            }
    }
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) c.vu[i][j] = phi[i][j];
        c.vu_in[i] = t * psi[i][1] * w * w;
    }
    // The rectified mean of a sine is 2/pi of its peak.
    c.gain = kPi / 2;
}

}  // namespace

double VuDamping() {
    const double l = std::log(1 / 0.0125);
    return l / std::sqrt(kPi * kPi + l * l);
}

double VuNaturalFrequency() {
    // The step response against w t: the first time it reaches 0.99.
    static const double at99 = [] {
        const double z = VuDamping(), wd = std::sqrt(1 - z * z);
        for (double u = 0;; u += 1e-5)
            if (1 - std::exp(-z * u) * (std::cos(wd * u) + z / wd * std::sin(wd * u)) >= 0.99) return u;
    }();
    return at99 / 0.300;
}

BallisticConstants MakeBallistics(Ballistics kind, uint32_t rate) {
    BallisticConstants c;
    c.kind = kind;
    if (rate == 0) rate = 1;
    switch (kind) {
        case Ballistics::PpmTypeI:
        case Ballistics::PpmTypeIIb: {
            const Ppm& p = kind == Ballistics::PpmTypeI ? kTypeI : kTypeIIb;
            c.attack = 1 - std::exp(-1000.0 / (p.attack_ms * rate));
            c.fall = std::pow(10.0, -p.fall_db / 20 / (p.fall_seconds * rate));
            c.gain = ppm_gain(c, rate);
            break;
        }
        case Ballistics::Vu: make_vu(c, rate); break;
        case Ballistics::Rms: c.window = std::max<size_t>(1, size_t(std::lround(0.3 * rate))); break;
        case Ballistics::SamplePeak: break;
    }
    return c;
}

void ResetBallistics(const BallisticConstants& c, BallisticState& s) {
    s.envelope = s.speed = 0;
    s.next = 0;
    s.sum = 0;
    if (c.kind == Ballistics::Rms) s.squares.assign(c.window, 0);
    else std::vector<int64_t>().swap(s.squares);
}

double RunBallistics(const BallisticConstants& c, BallisticState& s, const int16_t* samples, size_t count,
                     size_t stride) {
    switch (c.kind) {
        case Ballistics::SamplePeak: return largest_magnitude(samples, count, stride) / kFullScale;
        case Ballistics::PpmTypeI:
        case Ballistics::PpmTypeIIb: {
            double env = s.envelope, high = 0;
            for (size_t i = 0; i < count; ++i) {
                env = ppm_step(c, env, std::abs(int(samples[i * stride])) / kFullScale);
                high = std::max(high, env);
            }
            s.envelope = env;
            return std::min(high * c.gain, 2.0);
        }
        case Ballistics::Vu: {
            double y = s.envelope, v = s.speed;
            for (size_t i = 0; i < count; ++i) {
                const double u = std::abs(int(samples[i * stride])) / kFullScale * c.gain;
                const double ny = c.vu[0][0] * y + c.vu[0][1] * v + c.vu_in[0] * u;
                v = c.vu[1][0] * y + c.vu[1][1] * v + c.vu_in[1] * u;
                y = ny;
            }
            s.envelope = y;
            s.speed = v;
            return std::max(y, 0.0);
        }
        case Ballistics::Rms: {
            if (s.squares.size() != c.window) ResetBallistics(c, s);
            // A run at a time up to the ring's end; the sums are of integers, so their order
            // does not matter and the loop needs neither a wrap test nor a running sum per sample.
            for (size_t i = 0; i < count;) {
                const size_t run = std::min(count - i, c.window - s.next);
                int64_t* ring = s.squares.data() + s.next;
                int64_t change = 0;
                for (size_t k = 0; k < run; ++k) {
                    const int64_t x = samples[(i + k) * stride];
                    change += x * x - ring[k];
                    ring[k] = x * x;
                }
                s.sum += change;
                i += run;
                s.next += run;
                if (s.next == c.window) s.next = 0;
            }
            return std::sqrt(2.0 * double(s.sum) / double(c.window)) / kFullScale;
        }
    }
    return 0;
}

}  // namespace dl
