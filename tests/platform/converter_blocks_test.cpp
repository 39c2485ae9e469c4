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

TEST(ConverterCapacity, SizeForDestinationFillsTheDestination) {
    struct Case {
        const char* file;
        bool exact;  // sample and block formats never overfill; compressed streams fill by their nominal rate
        uint32_t dest;
    } cases[] = {{"mp3_44k_stereo_32k_long.mp3", false, 1000000}, {"ogg_22k_mono_q0_long.ogg", false, 262144},
                 {"wav_44k_stereo_ms_adpcm.wav", true, 16384},   {"wav_22k_mono_ima_adpcm.wav", true, 16384},
                 {"wav_44k_stereo_pcm24.wav", true, 16384}};
    for (const Case& k : cases) {
        Source s = fixture(k.file);
        // The long file is 32 kbit/s; the reader would publish that rate.
        if (std::string(k.file) == "mp3_44k_stereo_32k_long.mp3") put32(s.format, 8, 4000);
        auto c = open_or_fail(s.format);
        ASSERT_TRUE(c);
        uint32_t src = 0, cap = 0, used = 0;
        ASSERT_EQ(c->size_for_destination(k.dest, src), dl::kConvertOk);
        ASSERT_LT(src, s.data.size()) << k.file << ": the fixture must outlast the destination";
        ASSERT_EQ(c->size_for_source(src, cap), dl::kConvertOk);
        Bytes dst(std::max(cap, k.dest));
        ASSERT_EQ(c->convert(s.data.data(), src, dst.data(), k.dest, used), dl::kConvertOk);
        EXPECT_LE(used, k.dest) << k.file;
        if (k.exact) {
            uint32_t more = 0;
            ASSERT_EQ(c->convert(nullptr, 0, dst.data(), k.dest, more), dl::kConvertOk);
            EXPECT_EQ(more, 0u) << k.file << ": nothing beyond the destination";
        } else {
            // The stream's headers and the decoder's held frames take a little of it.
            EXPECT_GE(used, k.dest * 3 / 4) << k.file;
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

namespace {

// Streaming fills each buffer with one time slice of sound: what a block decodes beyond the
// destination waits in the converter, is counted, and comes out first next time.
TEST(ConverterHoldsBack, WhatDoesNotFitComesFirstNextTimeAndNothingIsLost) {
    const Source s = fixture("ogg_22k_mono_q0_long.ogg");
    const Bytes whole = convert_whole(s.format, s.data);
    auto c = open_or_fail(s.format);
    ASSERT_TRUE(c);
    constexpr uint32_t kSlice = 4096;  // about a tenth of a second
    Bytes out, dst(kSlice);
    size_t at = 0;
    int short_slices = 0;
    while (at < s.data.size() || c->pending_bytes() > 0) {
        // One slice: what waits first, then input a little at a time until the slice is full.
        uint32_t filled = 0;
        while (filled < kSlice && (at < s.data.size() || c->pending_bytes() > 0)) {
            uint32_t used = 0;
            if (c->pending_bytes() > 0 || at >= s.data.size()) {
                ASSERT_EQ(c->convert(nullptr, 0, dst.data() + filled, kSlice - filled, used), dl::kConvertOk);
            } else {
                const uint32_t n = uint32_t(std::min<size_t>(1000, s.data.size() - at));
                ASSERT_EQ(c->convert(s.data.data() + at, n, dst.data() + filled, kSlice - filled, used), dl::kConvertOk);
                at += n;
            }
            filled += used;
        }
        short_slices += filled < kSlice;
        out.insert(out.end(), dst.begin(), dst.begin() + filled);
    }
    EXPECT_LE(short_slices, 1) << "only the last slice may be short";
    EXPECT_EQ(out, whole);
}

}  // namespace
