// Sample-level conversions whose answers are known by heart.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
