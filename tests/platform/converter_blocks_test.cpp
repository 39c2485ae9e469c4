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

TEST(ConverterPacing, OggStreamsGiveSoundToMostTimeSlicesAndLoseNothing) {
    const Source s = fixture("ogg_22k_mono_q0_long.ogg");
    const Bytes whole = convert_whole(s.format, s.data);
    auto c = open_or_fail(s.format);
    ASSERT_TRUE(c);
    c->set_paced(true, s.data.size());
    // One time slice of compressed bytes per call, as streaming playback reads them.
    const uint32_t avg = uint32_t(s.format[8] | s.format[9] << 8 | s.format[10] << 16 | uint32_t(s.format[11]) << 24);
    const uint32_t slice = std::max<uint32_t>(avg / 5, 1);
    Bytes out, dst;
    int calls = 0, silent_after_start = 0;
    for (size_t at = 0; at < s.data.size(); at += slice) {
        const uint32_t n = uint32_t(std::min<size_t>(slice, s.data.size() - at));
        uint32_t cap = 0, used = 0;
        ASSERT_EQ(c->size_for_source(n, cap), dl::kConvertOk);
        dst.assign(cap, 0);
        ASSERT_EQ(c->convert(s.data.data() + at, n, dst.data(), cap, used), dl::kConvertOk);
        if (!out.empty()) {
            ++calls;
            silent_after_start += used == 0;
        }
        out.insert(out.end(), dst.begin(), dst.begin() + used);
    }
    // The end drains the reserve.
    dst.assign(1 << 22, 0);
    for (uint32_t used = 1; used > 0;) {
        ASSERT_EQ(c->convert(nullptr, 0, dst.data(), uint32_t(dst.size()), used), dl::kConvertOk);
        out.insert(out.end(), dst.begin(), dst.begin() + used);
    }
    EXPECT_EQ(out, whole);
    ASSERT_GT(calls, 20);
    EXPECT_LE(silent_after_start, calls / 10) << "of " << calls << " slices after the first sound";
}

}  // namespace
