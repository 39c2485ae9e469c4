#pragma once
// One row that sums a whole file up: its format, its level, the notes it holds and the pitch the
// tracker followed.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/batch_analyse.h"
#include "analysis/loudness_meter.h"

namespace dl {

// The sound as it was decoded, every sample at the width the file holds it: its sample peak, its
// mean power and its integrated loudness, in one pass with the analysis.
class SoundMeasure {
public:
    // Frames of `channels` at `rate` come next; false when no loudness meter could be made for them
    // (the levels are measured all the same).
    bool start(int channels, uint32_t rate);
    // Interleaved samples as fractions of full scale; a frame may be split between two calls.
    void add(const float* samples, size_t count);
    SoundFigures figures() const;

private:
    int channels_ = 1;
    uint32_t rate_ = 0;
    double peak_ = 0, sum_squares_ = 0;
    uint64_t samples_ = 0;
    std::unique_ptr<LoudnessMeter> loudness_;
    std::vector<float> part_;  // a frame not yet whole
};

// The summary's columns after `file` and before `error`, as the header names them.
const char* SummaryHeader();
// Its fields for a file that was analysed.
std::vector<std::string> SummaryFields(const AnalysedFile& file);
// As many empty fields, for a file that could not be opened.
std::vector<std::string> EmptySummaryFields();

// The name of a source format ("wav", "mp3", "vorbis", "flac", "opus"; the tag in hex otherwise).
std::string FormatName(uint16_t tag);

}  // namespace dl
