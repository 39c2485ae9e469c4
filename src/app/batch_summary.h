#pragma once
// One row that sums a whole file up: its format, its level, the notes it holds and the pitch the
// tracker followed.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/batch_analyse.h"
#include "platform/loudness_meter.h"

namespace dl {

// The sound as it was heard: its sample peak and its mean power, over every sample.
struct SoundMeasure {
    int bits = 16;
    double peak = 0;         // the largest magnitude, full scale 1
    double sum_squares = 0;  // of the samples, full scale 1
    uint64_t samples = 0;
    // The integrated loudness of the same samples, where a meter could be made for their layout.
    std::shared_ptr<LoudnessMeter> loudness;
    std::vector<int16_t> loudness_frames;  // the meter's 16-bit copy of each buffer, kept for the next
    // Starts the loudness measurement for frames of `channels` at `rate`.
    void measure_loudness(int channels, uint32_t rate);
    // Adds the device's PCM bytes (8-bit unsigned or 16-bit signed, any channels).
    void add(const uint8_t* data, uint32_t bytes);
};

// The summary's columns after `file` and before `error`, as the header names them.
const char* SummaryHeader();
// Its fields for a file that was analysed.
std::vector<std::string> SummaryFields(const AnalysedFile& file, const SoundMeasure& sound);
// As many empty fields, for a file that could not be opened.
std::vector<std::string> EmptySummaryFields();

// The name of a source format ("wav", "mp3", "vorbis", "flac", "opus"; the tag in hex otherwise).
std::string FormatName(uint16_t tag);

}  // namespace dl
