// Cutting a stream into blocks of any size must not change the PCM: what a
// decoder holds back at a block's end comes out with the next block.
#include <gtest/gtest.h>

#include <random>

#include "converter_fixture.h"
#include "platform/converter.h"

using namespace conv_test;

namespace {

Source fixture(const std::string& file) {
    const Bytes bytes = load(file);
    if (file.ends_with(".wav")) return wav_source(bytes);
    if (file.ends_with(".ogg")) return {ogg_record(bytes), bytes};
    const bool mono = file.find("mono") != std::string::npos;
    return {mpeg_record(file.find("22k") != std::string::npos ? 22050 : 44100, mono ? 1 : 2), bytes};
}

class BlockSizes : public ::testing::TestWithParam<const char*> {};

TEST_P(BlockSizes, AnyBlockSizeGivesTheSamePcmAsOneBlock) {
    const Source s = fixture(GetParam());
    const Bytes whole = convert_whole(s.format, s.data);
    ASSERT_GT(whole.size(), 1000u);
    for (size_t block : {size_t(1), size_t(417), size_t(4096)}) {
        auto c = open_or_fail(s.format);
        ASSERT_TRUE(c);
        EXPECT_EQ(convert_all(*c, s.data, [&] { return block; }), whole) << "block " << block;
    }
    std::mt19937 rng(7);
    std::uniform_int_distribution<size_t> size(1, 3000);
    auto c = open_or_fail(s.format);
    ASSERT_TRUE(c);
    EXPECT_EQ(convert_all(*c, s.data, [&] { return size(rng); }), whole) << "random blocks";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BlockSizes,
                         ::testing::Values("mp3_44k_stereo_128k_cbr.mp3", "mp3_44k_stereo_vbr_xing.mp3",
                                           "mp3_22k_mono_64k_mpeg2.mp3", "ogg_44k_stereo_q3.ogg",
                                           "ogg_44k_stereo_chained_same_format.ogg",
                                           "wav_44k_stereo_ima_adpcm.wav", "wav_8k_mono_ms_adpcm.wav",
                                           "wav_44k_stereo_pcm24.wav", "wav_22k_mono_float64.wav",
                                           "wav_8k_mono_alaw.wav"));

TEST(ConverterCapacity, OutputBeyondTheCapacityWaitsForTheNextCall) {
    const Source s = fixture("ogg_44k_stereo_q3.ogg");
    const Bytes whole = convert_whole(s.format, s.data);
    auto c = open_or_fail(s.format);
    ASSERT_TRUE(c);
    Bytes out, dst(1001);
    uint32_t used = 0;
    // One big block into a small, odd-sized buffer; then drain with empty blocks.
    ASSERT_EQ(c->convert(s.data.data(), uint32_t(s.data.size()), dst.data(), 1001, used), dl::kConvertOk);
    for (int calls = 0; used > 0 && calls < 10000; ++calls) {
        EXPECT_EQ(used % 4, 0u) << "whole stereo frames only";
        EXPECT_LE(used, 1001u);
        out.insert(out.end(), dst.begin(), dst.begin() + used);
        ASSERT_EQ(c->convert(nullptr, 0, dst.data(), 1001, used), dl::kConvertOk);
    }
    EXPECT_EQ(out.size() + used, whole.size());
}

TEST(ConverterCapacity, SizeForDestinationNeverOverfillsAFreshStream) {
    for (const char* file : {"mp3_44k_stereo_128k_cbr.mp3", "ogg_44k_stereo_q3.ogg",
                             "wav_44k_stereo_ms_adpcm.wav", "wav_22k_mono_ima_adpcm.wav",
                             "wav_44k_stereo_pcm24.wav"}) {
        const Source s = fixture(file);
        for (uint32_t dest : {4096u, 65536u, 300000u}) {
            auto c = open_or_fail(s.format);
            ASSERT_TRUE(c);
            uint32_t src = 0, cap = 0, used = 0;
            ASSERT_EQ(c->size_for_destination(dest, src), dl::kConvertOk);
            src = std::min<uint32_t>(src, uint32_t(s.data.size()));
            ASSERT_EQ(c->size_for_source(src, cap), dl::kConvertOk);
            Bytes dst(cap);
            ASSERT_EQ(c->convert(s.data.data(), src, dst.data(), cap, used), dl::kConvertOk);
            EXPECT_LE(used, dest) << file << " into " << dest;
        }
    }
}

TEST(ConverterCapacity, SizeQueriesAnswerInWholeBlocksForAdpcm) {
    const Source s = fixture("wav_44k_stereo_ima_adpcm.wav");
    const uint16_t align = uint16_t(s.format[12] | s.format[13] << 8);
    auto c = open_or_fail(s.format);
    ASSERT_TRUE(c);
    uint32_t src = 0, dst = 0, one_block = 0;
    ASSERT_EQ(c->size_for_source(align, one_block), dl::kConvertOk);
    EXPECT_EQ(one_block % 4, 0u);
    ASSERT_EQ(c->size_for_destination(one_block * 3 + 2, src), dl::kConvertOk);
    EXPECT_EQ(src, 3u * align);
    // One byte may finish a block started earlier.
    ASSERT_EQ(c->size_for_source(1, dst), dl::kConvertOk);
    EXPECT_EQ(dst, one_block);
}

}  // namespace
