#include "app/pitch_listing.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/batch_run.h"
#include "platform/format_text.h"
#include "platform/regular_file.h"

namespace dl {

PitchListing::PitchListing(double rate, int channels, int window_type, int reference_a4)
    : track_(rate, window_type, reference_a4), rate_(rate), channels_(std::max(channels, 1)) {}

void PitchListing::add_at(double seconds, const float* samples, size_t count) {
    const long long at = std::llround(seconds * rate_);
    if (partial_.empty() && at > received_) {
        const std::vector<float> silence(size_t(std::min<long long>(at - received_, 1 << 16)), 0.0f);
        while (received_ < at) {
            const size_t n = size_t(std::min<long long>(at - received_, (long long)silence.size()));
            track_.add(silence.data(), n, frames_);
            received_ += (long long)n;
        }
    }
    add(samples, count);
}

void PitchListing::add(const float* samples, size_t count) {
    const size_t c = size_t(channels_);
    mono_.clear();
    size_t at = 0;
    // A frame of channels begun in the last call is completed first.
    while (!partial_.empty() && at < count) {
        partial_.push_back(samples[at++]);
        if (partial_.size() == c) {
            float sum = 0;
            for (float v : partial_) sum += v;
            mono_.push_back(sum / float(c));
            partial_.clear();
        }
    }
    for (; at + c <= count; at += c) {
        float sum = 0;
        for (size_t k = 0; k < c; ++k) sum += samples[at + k];
        mono_.push_back(sum / float(c));
    }
    partial_.insert(partial_.end(), samples + at, samples + count);
    track_.add(mono_.data(), mono_.size(), frames_);
    received_ += (long long)mono_.size();
}

std::string PitchListing::finish() {
    track_.finish(frames_);
    return PitchTrackCsv(frames_);
}

std::string PitchTrackCsv(const std::vector<PitchFrame>& frames) {
    std::string text = "time,f0_hz,note,cents,confidence\n";
    text.reserve(frames.size() * 32 + text.size());
    for (const PitchFrame& f : frames) {
        if (!f.voiced) {
            text += format_text("%.3f,,,,\n", f.time);
            continue;
        }
        const double cents = std::fabs(f.cents) < 0.05 ? 0.0 : f.cents;  // never "-0.0"
        text += format_text("%.3f,%.3f,%s,%+.1f,%.2f\n", f.time, f.frequency, f.note.c_str(), cents, f.confidence);
    }
    return text;
}

bool WritePitchTrack(const std::string& path, const std::string& text) {
    const FileReplace written = replace_regular_file(path, text, 0644);
    if (written == FileReplace::Written) return true;
    BatchFailure("cannot write " + shown_name(path) + ": " +
                 (written == FileReplace::NotRegular ? "not a regular file" : std::strerror(errno)));
    return false;
}

}  // namespace dl
