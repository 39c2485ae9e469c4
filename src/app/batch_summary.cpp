#include "app/batch_summary.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "analysis/note_names.h"
#include "platform/format_text.h"
#include "platform/wave_format.h"

namespace dl {

namespace {

// The integrated loudness of what was heard; empty where it was not measured or stayed under the gate.
std::string integrated_loudness(const SoundMeasure& sound) {
    if (!sound.loudness) return {};
    const double lufs = sound.loudness->integrated();
    return std::isfinite(lufs) ? format_text("%.1f", lufs) : std::string();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(mid), v.end());
    const double upper = v[mid];
    if (v.size() % 2) return upper;
    return (*std::max_element(v.begin(), v.begin() + std::ptrdiff_t(mid)) + upper) / 2;
}

// The value below which a share q of the values lies, read between neighbours.
double quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const double at = q * double(v.size() - 1);
    const size_t low = size_t(at);
    if (low + 1 >= v.size()) return v.back();
    return v[low] + (at - double(low)) * (v[low + 1] - v[low]);
}

std::string decibels(double amplitude) {
    if (!(amplitude > 0)) return {};
    return format_text("%.2f", 20 * std::log10(amplitude));
}

// The three notes that were the strongest peak for the most blocks, with their shares of all
// analysed blocks in percent: "A4 75.0%;E5 25.0%".
std::string strongest_notes(const AnalysedFile& file) {
    std::map<std::string, size_t> count;
    for (const AnalysedBlock& b : file.blocks)
        if (b.analysis.peak_shown && b.analysis.peak_frequency > 0)
            ++count[note_name(at_standard_pitch(b.analysis.peak_frequency))];
    std::vector<std::pair<std::string, size_t>> order(count.begin(), count.end());
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string text;
    for (size_t i = 0; i < order.size() && i < 3; ++i) {
        if (!text.empty()) text += ';';
        text += format_text("%s %.1f%%", order[i].first.c_str(), 100.0 * double(order[i].second) / double(file.blocks.size()));
    }
    return text;
}

}  // namespace

void SoundMeasure::measure_loudness(int channels, uint32_t rate) {
    loudness = rate ? LoudnessMeter::create(channels, rate, kLoudnessIntegrated, false) : nullptr;
}

void SoundMeasure::add(const uint8_t* data, uint32_t bytes) {
    if (!data) return;
    if (loudness) {
        // The meter takes whole 16-bit frames; 8-bit sound is widened for it.
        const size_t channels = size_t(loudness->channels());
        const size_t frames = bytes / (channels * (bits == 8 ? 1 : 2));
        loudness_frames.resize(frames * channels);
        if (bits == 8) {
            for (size_t i = 0; i < loudness_frames.size(); ++i) loudness_frames[i] = int16_t((int(data[i]) - 128) << 8);
        } else {
            std::memcpy(loudness_frames.data(), data, loudness_frames.size() * 2);
        }
        if (!loudness->add(loudness_frames.data(), frames)) loudness.reset();
    }
    if (bits == 8) {
        for (uint32_t i = 0; i < bytes; ++i) {
            const double x = (int(data[i]) - 128) / 128.0;
            peak = std::max(peak, std::fabs(x));
            sum_squares += x * x;
        }
        samples += bytes;
        return;
    }
    for (uint32_t i = 0; i + 1 < bytes; i += 2) {
        const double x = int16_t(uint16_t(data[i] | data[i + 1] << 8)) / 32768.0;
        peak = std::max(peak, std::fabs(x));
        sum_squares += x * x;
    }
    samples += bytes / 2;
}

const char* SummaryHeader() {
    return "seconds,format,sample_rate,channels,sample_peak_dbfs,rms_dbfs,notes,f0_median_hz,f0_note,f0_cents,"
           "f0_spread_cents,voiced_share,a4_median_hz,lufs";
}

std::vector<std::string> EmptySummaryFields() { return std::vector<std::string>(14); }

std::string FormatName(uint16_t tag) {
    switch (tag) {
        case kTagPcm: case kTagFloat: case kTagALaw: case kTagMuLaw: case kTagMsAdpcm: case kTagImaAdpcm:
        case kTagExtensible: return "wav";
        case kTagMpeg: case kTagMpegLayer3: return "mp3";
        case kTagFlac: case kTagOggFlac: return "flac";
        case kTagOpus: return "opus";
        default: return is_ogg_tag(tag) ? "vorbis" : format_text("0x%04x", unsigned(tag));
    }
}

std::vector<std::string> SummaryFields(const AnalysedFile& file, const SoundMeasure& sound) {
    std::vector<double> pitch, a4;
    for (const AnalysedBlock& b : file.blocks) {
        if (b.analysis.f0_voiced && b.analysis.f0_frequency > 0) pitch.push_back(b.analysis.f0_frequency);
        if (b.analysis.a4_shown) a4.push_back(b.analysis.a4_frequency);
    }
    std::vector<std::string> f = {format_text("%.3f", file.seconds), FormatName(file.format_tag),
                                  format_text("%u", file.sample_rate), format_text("%u", file.channels),
                                  decibels(sound.peak),
                                  decibels(sound.samples ? std::sqrt(sound.sum_squares / double(sound.samples)) : 0),
                                  strongest_notes(file)};
    if (pitch.empty()) {
        f.insert(f.end(), 4, std::string());
    } else {
        const double mid = median(pitch);
        const double heard = at_standard_pitch(mid);
        const double cents = cents_from_note(heard);
        // The spread is the middle half of the pitches, in cents.
        const double spread = 1200 * std::log2(quantile(pitch, 0.75) / quantile(pitch, 0.25));
        f.push_back(format_text("%.3f", mid));
        f.push_back(note_name(heard));
        f.push_back(format_text("%+.1f", std::fabs(cents) < 0.05 ? 0.0 : cents));
        f.push_back(format_text("%.1f", spread < 0.05 ? 0.0 : spread));
    }
    f.push_back(format_text("%.1f", file.blocks.empty() ? 0.0 : 100.0 * double(pitch.size()) / double(file.blocks.size())));
    f.push_back(a4.empty() ? std::string() : format_text("%.1f", median(a4)));
    f.push_back(integrated_loudness(sound));
    return f;
}

}  // namespace dl
