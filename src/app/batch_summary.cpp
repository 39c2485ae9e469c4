#include "app/batch_summary.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "analysis/note_names.h"
#include "analysis/sample_level.h"
#include "platform/format_text.h"
#include "platform/wave_format.h"
#include "state/settings.h"

namespace dl {

namespace {

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
            ++count[note_name(at_standard_pitch(b.analysis.peak_frequency, Settings.reference_a4))];
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

bool SoundMeasure::start(int channels, uint32_t rate) {
    channels_ = std::max(channels, 1);
    rate_ = rate;
    peak_ = sum_squares_ = 0;
    samples_ = 0;
    part_.clear();
    loudness_ = rate ? LoudnessMeter::create(channels_, rate, kLoudnessIntegrated, false) : nullptr;
    return loudness_ != nullptr;
}

void SoundMeasure::add(const float* samples, size_t count) {
    AddSampleLevel(samples, count, peak_, sum_squares_);
    samples_ += count;
    if (!loudness_) return;
    // The meter takes whole frames: a frame split between two calls is put together first.
    const size_t C = size_t(channels_);
    if (!part_.empty()) {
        const size_t take = std::min(count, C - part_.size());
        part_.insert(part_.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (part_.size() < C) return;
        if (!loudness_->add(part_.data(), 1)) loudness_.reset();
        part_.clear();
    }
    const size_t frames = count / C;
    if (loudness_ && frames && !loudness_->add(samples, frames)) loudness_.reset();
    part_.assign(samples + frames * C, samples + count);
}

SoundFigures SoundMeasure::figures() const {
    SoundFigures f;
    f.measured = true;
    f.seconds = rate_ ? double(samples_ / uint64_t(channels_)) / rate_ : 0;
    f.peak = peak_;
    f.rms = samples_ ? std::sqrt(sum_squares_ / double(samples_)) : 0;
    f.lufs = loudness_ ? loudness_->integrated() : -HUGE_VAL;
    return f;
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

std::vector<std::string> SummaryFields(const AnalysedFile& file) {
    const SoundFigures& sound = file.sound;
    std::vector<double> pitch, a4;
    for (const AnalysedBlock& b : file.blocks) {
        if (b.analysis.f0_voiced && b.analysis.f0_frequency > 0) pitch.push_back(b.analysis.f0_frequency);
        if (b.analysis.a4_shown) a4.push_back(b.analysis.a4_frequency);
    }
    std::vector<std::string> f = {format_text("%.3f", file.seconds), FormatName(file.format_tag),
                                  format_text("%u", file.sample_rate), format_text("%u", file.channels),
                                  decibels(sound.peak), decibels(sound.rms), strongest_notes(file)};
    if (pitch.empty()) {
        f.insert(f.end(), 4, std::string());
    } else {
        const double mid = median(pitch);
        const double heard = at_standard_pitch(mid, Settings.reference_a4);
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
    // Silence has no loudness: the field stays empty, as the levels' do.
    f.push_back(std::isfinite(sound.lufs) ? format_text("%.1f", sound.lufs) : std::string());
    return f;
}

}  // namespace dl
