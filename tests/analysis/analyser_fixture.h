#pragma once
// An analyser of the test's own, measuring the blocks it is handed with the parameters the test
// sets: mono 16-bit at 44.1 kHz unless it says otherwise, with the voice pointer switched on as in
// the window's run.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/analyser.h"

namespace dl_test {

// Samples as 16-bit little-endian bytes.
inline std::vector<uint8_t> Pcm16Bytes(const std::vector<int>& samples) {
    std::vector<uint8_t> b;
    for (int v : samples) {
        b.push_back(uint8_t(v & 0xff));
        b.push_back(uint8_t((v >> 8) & 0xff));
    }
    return b;
}

class AnalyserTest : public ::testing::Test {
public:
    static std::vector<uint8_t> pcm16(const std::vector<int>& samples) { return Pcm16Bytes(samples); }

protected:
    void SetUp() override {
        params_.freqnum = 0;
        params_.VoicePointer = 1;
        params_.voice_pointer_steers = true;
        params_.sample_rate = 44100;
        params_.channel_layout = 1;
        params_.block_bytes = 1u << 20;
        use_work_arrays(16);
    }

    // Transform arrays for 2^p points.
    void use_work_arrays(int p) { ASSERT_TRUE(an_->make_work_arrays(p)); }

    // One block, measured with the parameters as they are now.
    const dl::BlockAnalysis& measure(const std::vector<uint8_t>& bytes) {
        an_->configure(params_);
        return an_->measure({bytes.data(), uint32_t(bytes.size())});
    }

    // The default time slice in samples at `rate` (2048 at 11025 Hz's family, 8000 Hz's otherwise).
    static int slice_at(double rate) {
        const bool eleven = uint32_t(rate) % 11025 == 0;
        return int(2048 * rate / (eleven ? 11025 : 8000));
    }

    std::unique_ptr<dl::Analyser> an_ = std::make_unique<dl::Analyser>();
    dl::AnalysisParams params_;
    std::vector<uint8_t> block_;
};

}  // namespace dl_test
