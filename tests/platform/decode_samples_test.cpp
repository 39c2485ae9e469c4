// Sample-level conversions whose answers are known by heart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/decode_adpcm.h"
#include "platform/decode_pcm.h"

using namespace dl::decode;

TEST(DecodeSamples, WideIntegersRoundToNearestAndClipAtTheTop) {
    EXPECT_EQ(narrow_to_16(0x12340000), 0x1234);
    EXPECT_EQ(narrow_to_16(0x12347FFF), 0x1234);
    EXPECT_EQ(narrow_to_16(0x12348000), 0x1235);
    EXPECT_EQ(narrow_to_16(-1), 0);
    EXPECT_EQ(narrow_to_16(-0x8001), -1);
    EXPECT_EQ(narrow_to_16(std::numeric_limits<int32_t>::min()), -32768);
    EXPECT_EQ(narrow_to_16(std::numeric_limits<int32_t>::max()), 32767);
    EXPECT_EQ(narrow_to_16(0x7FFF8000), 32767);  // would wrap without the clip
}

TEST(DecodeSamples, FloatsScaleClipAndSurviveNan) {
    EXPECT_EQ(float_to_16(0.0), 0);
    EXPECT_EQ(float_to_16(0.5), 16384);
    EXPECT_EQ(float_to_16(-0.5), -16384);
    EXPECT_EQ(float_to_16(1.0), 32767);
    EXPECT_EQ(float_to_16(-1.0), -32768);
    EXPECT_EQ(float_to_16(7.5), 32767);
    EXPECT_EQ(float_to_16(-7.5), -32768);
    EXPECT_EQ(float_to_16(1e300), 32767);
    EXPECT_EQ(float_to_16(std::nan("")), 0);
    EXPECT_EQ(float_to_16(100.4 / 32768.0), 100);
    EXPECT_EQ(float_to_16(100.6 / 32768.0), 101);
}

// Decoded floats become 16-bit samples as the players' lrint makes them: halves to even, clipped, NaN 0.
TEST(DecodeSamples, DecodedFloatsRoundToEvenAsLrintDoes) {
    const float k = 1.f / 32768.f;
    std::vector<float> in = {0.5f * k, 1.5f * k, 2.5f * k, -0.5f * k, -1.5f * k, -2.5f * k, 1.f, -1.f, 2.f, -2.f,
                             std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                             std::nanf(""), 32766.5f * k, -32767.5f * k};
    const std::vector<int16_t> want = {0, 2, 2, 0, -2, -2, 32767, -32768, 32767, -32768, 32767, -32768, 0, 32766, -32768};
    std::vector<int16_t> out(in.size(), 111);
    floats_to_16(in.data(), in.size(), out.data());
    EXPECT_EQ(out, want);
    // The same values the other way round: eight at a time where the first ones came one by one.
    std::reverse(in.begin(), in.end());
    floats_to_16(in.data(), in.size(), out.data());
    EXPECT_EQ(out, std::vector<int16_t>(want.rbegin(), want.rend()));
    // Every value between the ends, in steps finer than a sample, as lrint of the clipped product.
    in.clear();
    for (float x = -1.01f; x < 1.01f; x += 0.37f * k) in.push_back(x);
    out.assign(in.size(), 0);
    floats_to_16(in.data(), in.size(), out.data());
    for (size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(out[i], int16_t(std::lrint(std::clamp(in[i] * 32768.f, -32768.f, 32767.f)))) << in[i];
}

TEST(DecodeSamples, CompandedCodesMapToTheG711Values) {
    EXPECT_EQ(mulaw_to_16(0xFF), 0);
    EXPECT_EQ(mulaw_to_16(0x7F), 0);
    EXPECT_EQ(mulaw_to_16(0x00), -32124);
    EXPECT_EQ(mulaw_to_16(0x80), 32124);
    EXPECT_EQ(alaw_to_16(0xD5), 8);
    EXPECT_EQ(alaw_to_16(0x55), -8);
    EXPECT_EQ(alaw_to_16(0xAA), 32256);
    EXPECT_EQ(alaw_to_16(0x2A), -32256);
    // Both laws are odd-symmetric through the sign bit.
    for (int c = 0; c < 128; ++c) {
        EXPECT_EQ(mulaw_to_16(uint8_t(c)), -mulaw_to_16(uint8_t(c | 0x80)));
        EXPECT_EQ(alaw_to_16(uint8_t(c)), -alaw_to_16(uint8_t(c | 0x80)));
    }
}

TEST(DecodeSamples, AdpcmBlocksHoldWhatTheirAlignAllows) {
    EXPECT_EQ(ima_frames_per_block(2048, 2, 0), 2041u);
    EXPECT_EQ(ima_frames_per_block(1024, 1, 0), 2041u);
    EXPECT_EQ(ima_frames_per_block(1024, 1, 1000), 1000u);
    EXPECT_EQ(ima_frames_per_block(13, 2, 0), 1u);  // header only: its own sample
    EXPECT_EQ(ima_frames_per_block(7, 2, 0), 0u);
    EXPECT_EQ(ms_frames_per_block(2048, 2, 0), 2036u);
    EXPECT_EQ(ms_frames_per_block(256, 1, 0), 500u);
    EXPECT_EQ(ms_frames_per_block(13, 2, 0), 0u);
}
