// Accuracy of the three peak-frequency methods (the line, the complex-spectrum interpolation and the
// precise estimator) on a steady tone in white noise, through the tick's own windowing and
// transform: for every window, transform sizes 1024 to 65536 and SNR 0, 20 and 40 dB, tones at eight
// places across a line. Bias is the largest mean error over the eight places, in lines (noise in
// antithetic pairs, so its first-order share cancels); RMS is over all trials, divided by the
// Cramér-Rao bound of the block's samples.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/peaks.h"
#include "analysis/pipeline.h"
#include "analysis/precise_peak.h"
#include "bench_registry.h"
#include "display/analysis_settings.h"
#include "state/analysis.h"
#include "state/reset.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRate = 48000;
constexpr double kAmplitude = 8000;

struct Errors {
    double worst_bias = 0, sum_squares = 0;
    int count = 0;
    void place(const std::vector<double>& e) {
        double mean = 0;
        for (double x : e) mean += x, sum_squares += x * x;
        mean /= double(e.size());
        count += int(e.size());
        worst_bias = std::max(worst_bias, std::fabs(mean));
    }
    double rms() const { return std::sqrt(sum_squares / std::max(count, 1)); }
};

// Lines of the tick's spectrum of a 16-bit block.
void analyse(const std::vector<double>& signal, std::vector<uint8_t>& bytes) {
    bytes.resize(signal.size() * 2);
    for (size_t i = 0; i < signal.size(); ++i) {
        const int v = std::clamp(int(std::lround(signal[i])), -32768, 32767);
        bytes[2 * i] = uint8_t(v & 0xff);
        bytes[2 * i + 1] = uint8_t((v >> 8) & 0xff);
    }
    dl::SampleBuffers[0] = bytes.data();
    dl::BlockAnalysis a;
    a = dl::MeasureWithSettings(dl::RunAnalyser, {bytes.data(), uint32_t(bytes.size())});
    dl::SampleBuffers[0] = nullptr;
}

void run_pitch() {
    dl::ResetProcessState();
    dl::Settings = dl::SettingsRecord{};
    dl::Settings.freqnum = 0;
    dl::SourceInfo.format_tag = 1;
    dl::SourceInfo.sample_rate = uint32_t(kRate);
    dl::SourceInfo.ChannelLayout = 1;
    dl::SourceInfo.bits = 16;
    dl::BlockBytes = 1u << 20;
    std::mt19937_64 gen(26);
    std::printf("pitch: bias in lines (largest over 8 places across a line) and RMS / Cramer-Rao bound\n");
    std::printf("pitch: %-8s %6s %4s | %-17s | %-17s | %-17s\n", "window", "N", "SNR", "line  bias  rms/crb",
                "complex bias rms/crb", "precise bias rms/crb");
    const char* names[8] = {"han", "hamming", "blackman", "triangle", "squar", "gause4.2", "gause6.5", "taper"};
    std::vector<uint8_t> bytes;
    for (int p : {10, 12, 14, 16}) {
        const int n = 1 << p;
        const size_t count = static_cast<size_t>(n);
        std::vector<double> re(count), im(count), signal(count), noise(count);
        dl::Settings.fftparam = p;
        dl::RunAnalyser.work.re = re.data();
        dl::RunAnalyser.work.im = im.data();
        dl::RunAnalyser.work.n = n;
        const int pairs = p >= 16 ? 6 : p >= 14 ? 12 : 24;
        for (int type = 0; type < 8; ++type) {
            dl::Settings.mado = type;
            for (double snr_db : {0.0, 20.0, 40.0}) {
                const double snr = std::pow(10, snr_db / 10);
                const double sigma = kAmplitude / std::sqrt(2 * snr);
                std::normal_distribution<double> normal(0, sigma);
                Errors line, complex, precise;
                for (int place = 0; place < 8; ++place) {
                    const double truth = n / 8 + 0.37 + place / 8.0;
                    const double w = 2 * kPi * truth / n;
                    std::vector<double> el, ec, ep;
                    for (int pair = 0; pair < pairs; ++pair) {
                        const double phase = 2 * kPi * double(gen() % 1000) / 1000;
                        for (double& x : noise) x = normal(gen);
                        for (int sign : {1, -1}) {
                            for (int i = 0; i < n; ++i)
                                signal[size_t(i)] = kAmplitude * std::cos(w * i + phase) + sign * noise[size_t(i)];
                            analyse(signal, bytes);
                            const int b = dl::RunAnalyser.peak.bin;
                            el.push_back(b - truth);
                            ec.push_back(dl::RefinePeakFrequency(re.data(), im.data(), b, n, n, kRate, type) * n / kRate -
                                         truth);
                            ep.push_back(dl::PrecisePeakLine(dl::RunAnalyser.precise, re.data(), im.data(), n, b, n, type).line - truth);
                        }
                    }
                    line.place(el);
                    complex.place(ec);
                    precise.place(ep);
                }
                // Cramer-Rao bound of the frequency of a real tone in white noise, in lines.
                const double crb = std::sqrt(12 / (snr * double(n) * (double(n) * n - 1))) * n / (2 * kPi);
                std::printf("pitch: %-8s %6d %4.0f | %7.4f %9.1f | %7.4f %9.2f | %7.4f %9.2f\n", names[type], n, snr_db,
                            line.worst_bias, line.rms() / crb, complex.worst_bias, complex.rms() / crb,
                            precise.worst_bias, precise.rms() / crb);
                std::fflush(stdout);
            }
        }
        dl::RunAnalyser.work = dl::WorkArraysRecord{};
    }
    dl::ResetProcessState();
}

const dl::bench::Registration registration("pitch", run_pitch);

}  // namespace
