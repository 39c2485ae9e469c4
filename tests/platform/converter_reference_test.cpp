// Whole fixtures made by real encoders, decoded in one block, against the
// reference decodes committed beside them.
#include <gtest/gtest.h>

#include "converter_fixture.h"
#include "platform/converter.h"

using namespace conv_test;

namespace {

struct Case {
    const char* name;
    const char* ext;
    uint32_t mpeg_rate;      // MPEG only: the record the reader builds
    uint16_t mpeg_channels;
};

Source source_for(const Case& c) {
    const std::string file = std::string(c.name) + c.ext;
    const Bytes bytes = load(file);
    if (std::string(c.ext) == ".wav") return wav_source(bytes);
    if (std::string(c.ext) == ".ogg") return {ogg_record(bytes), bytes};
    return {mpeg_record(c.mpeg_rate, c.mpeg_channels), bytes};
}

class ReferenceDecode : public ::testing::TestWithParam<Case> {};

TEST_P(ReferenceDecode, MatchesReferenceSampleForSample) {
    const Case& c = GetParam();
    const Source s = source_for(c);
    ASSERT_FALSE(s.format.empty());
    ASSERT_FALSE(s.data.empty());
    const Bytes ref = load(std::string(c.name) + ".ref.raw");
    ASSERT_FALSE(ref.empty());
    const Bytes out = convert_whole(s.format, s.data);
    ASSERT_EQ(out.size(), ref.size());
    EXPECT_EQ(max_sample_difference(out, ref), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ReferenceDecode,
    ::testing::Values(Case{"mp3_44k_stereo_128k_cbr", ".mp3", 44100, 2},
                      Case{"mp3_44k_stereo_vbr_xing", ".mp3", 44100, 2},
                      Case{"mp3_22k_mono_64k_mpeg2", ".mp3", 22050, 1},
                      Case{"mp3_8k_mono_16k_mpeg25", ".mp3", 8000, 1},
                      Case{"ogg_44k_stereo_q3", ".ogg", 0, 0},
                      Case{"ogg_22k_mono_q0", ".ogg", 0, 0},
                      Case{"ogg_44k_stereo_chained_same_format", ".ogg", 0, 0},
                      Case{"wav_44k_stereo_pcm24", ".wav", 0, 0},
                      Case{"wav_22k_mono_pcm32", ".wav", 0, 0},
                      Case{"wav_44k_stereo_float32", ".wav", 0, 0},
                      Case{"wav_22k_mono_float64", ".wav", 0, 0},
                      Case{"wav_8k_mono_alaw", ".wav", 0, 0},
                      Case{"wav_44k_stereo_mulaw", ".wav", 0, 0},
                      Case{"wav_44k_stereo_ima_adpcm", ".wav", 0, 0},
                      Case{"wav_22k_mono_ima_adpcm", ".wav", 0, 0},
                      Case{"wav_44k_stereo_ms_adpcm", ".wav", 0, 0},
                      Case{"wav_8k_mono_ms_adpcm", ".wav", 0, 0}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
