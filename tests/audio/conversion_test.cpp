#include <gtest/gtest.h>

#include "audio/conversion.h"
#include "audio/run.h"
#include "platform/wave_format.h"
#include "playback_fixture.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace {

using play_test::PlaybackFixture;

TEST(MultimediaError, FiveKnownCodesAreShownByName) {
    dl_test::MessageBoxCapture boxes;
    const std::pair<int, const char*> known[] = {{5, "MMSYSERR_INVALHANDLE"}, {7, "MMSYSERR_NOMEM"},
                                                 {10, "MMSYSERR_INVALFLAG"},   {11, "MMSYSERR_INVALPARAM"},
                                                 {512, "ACMERR_NOTPOSSIBLE"}};
    for (auto [code, name] : known) {
        EXPECT_EQ(dl::ShowMultimediaError(code, "acm_convert"), 1);
        ASSERT_FALSE(boxes.boxes.empty());
        EXPECT_EQ(boxes.boxes.back().text, name);
        EXPECT_EQ(boxes.boxes.back().caption, "acm_convert");
        EXPECT_TRUE(boxes.boxes.back().owned);
    }
    for (int code : {0, 1, 6, 32, 513}) EXPECT_EQ(dl::ShowMultimediaError(code, "acm_open"), 0);
    EXPECT_EQ(boxes.boxes.size(), 5u);
}

TEST(ConversionSizes, Layer3FloorAndPcmBlocks) {
    EXPECT_EQ(dl::Layer3ConvertedFloor(10000, 1000, 44), 45000u);
    EXPECT_EQ(dl::Layer3ConvertedFloor(46000, 1000, 44), 46000u);
    EXPECT_EQ(dl::Layer3ConvertedFloor(46000, 1000, 48), 49000u);
    EXPECT_EQ(dl::Layer3ConvertedFloor(46000, 0, 48), 46000u);
    EXPECT_EQ(dl::Layer3ConvertedFloor(1, 200000000, 48), 0xFFFFFFFFu) << "saturates instead of wrapping";
    EXPECT_EQ(dl::SliceBytes(176400, 44100, dl::kTagPcm, 2048), 32768u);
    EXPECT_EQ(dl::SliceBytes(192000, 48000, dl::kTagPcm, 2048), 49152u);
    EXPECT_EQ(dl::SliceBytes(48000, 12000, dl::kTagPcm, 100), 600u);
    // Converted sound at an odd rate rounds like a PCM source (7000 Hz mono: 57.75 bytes).
    EXPECT_EQ(dl::SliceBytes(14000, 7000, dl::kTagPcm, 33), 58u);
    // A layer-3 stream whose byte rate divides by 8000 stays in the 11025 Hz family.
    EXPECT_EQ(dl::SliceBytes(16000, 44100, dl::kTagMpegLayer3, 2048), 2972u);
    EXPECT_EQ(dl::SliceBytes(16000, 44100, dl::kTagPcm, 2048), 4096u);
    // A header's byte rate of 4 GB a second saturates in every family instead of wrapping.
    for (uint32_t rate : {44100u, 48000u, 12000u, 7000u})
        EXPECT_EQ(dl::SliceBytes(0xFFFFFFFFu, rate, dl::kTagImaAdpcm, 32768), 0xFFFFFFFFu) << rate;
    EXPECT_EQ(dl::SliceBytes(0xFFFFFFFFu - 0xFFFFFFFFu % 11025, 44100, dl::kTagPcm, 32768), 0xFFFFFFFFu);
}

class Conversion : public PlaybackFixture {
protected:
    void open(const std::string& name) {
        dl::CloseSource();
        dl::FileName = std::string(DEWLARK_TEST_DATA) + "/" + name;
        dl::SourceState.mode = dl::SourceMode::File;
        ASSERT_EQ(dl::OpenSource(), dl::Result::Done) << name;
    }
    void TearDown() override {
        dl::CloseConversion();
        PlaybackFixture::TearDown();
    }
};

TEST_F(Conversion, StreamingBuffersHoldOneTimeSliceOfSound) {
    open("mp3_44k_stereo_128k_cbr.mp3");
    dl::BufferCount = 4;
    dl::Settings.deltatime = 2048;
    dl::ComputeBufferSizes(dl::SourceFormat);
    ASSERT_TRUE(dl::OpenConversion(dl::SourceFormat));
    EXPECT_EQ(dl::ConvertedSize, 32768u);  // 2048 samples at 11025 Hz: 8192 stereo frames at 44100 Hz
    EXPECT_GE(dl::ChunkSize, 4096u) << "reads of at least 4 KiB";
    EXPECT_EQ(dl::SourceFormat, dl::PlaybackFormat);
    EXPECT_EQ(dl::rd16(dl::SourceFormat, dl::kFmtTag), 1);
    EXPECT_EQ(dl::rd16(dl::SourceFormat, dl::kFmtBlockAlign), 4);
    EXPECT_EQ(dl::rd32(dl::SourceFormat, dl::kFmtBytesPerSec), 176400u);
    EXPECT_EQ(dl::SourceInfo.ChannelLayout, 3);
    EXPECT_EQ(dl::SourceInfo.output_bytes_per_second, 176400u);
    EXPECT_EQ(dl::SourceInfo.format_tag, 0x55) << "the source's own tag is kept";
    EXPECT_NE(dl::ConversionStream, nullptr);

    // Mono ADPCM at 22050 Hz, a short slice: whole frames, and reads in whole blocks.
    dl::CloseConversion();
    open("wav_22k_mono_ima_adpcm.wav");
    dl::Settings.deltatime = 100;
    dl::ComputeBufferSizes(dl::SourceFormat);
    ASSERT_TRUE(dl::OpenConversion(dl::SourceFormat));
    EXPECT_EQ(dl::ConvertedSize, 400u);  // 200 samples of 2 bytes
    EXPECT_EQ(dl::ChunkSize % dl::SourceInfo.block_align, 0u);
}

TEST_F(Conversion, MemoryModeCapsTheDecodedSizeAtMemSize) {
    open("mp3_44k_stereo_128k_cbr.mp3");
    dl::BufferCount = 1;
    dl::Settings.MemSize = 2;
    dl::Settings.deltatime = 2048;
    dl::SourceInfo.DataRemaining = dl::ChunkSize = 1000000;  // as if the file were that long
    ASSERT_TRUE(dl::OpenConversion(dl::SourceFormat));
    EXPECT_EQ(dl::ConvertedSize, 2u << 20);
    EXPECT_GT(dl::ChunkSize, 0u);
    EXPECT_LT(dl::ChunkSize, 1000000u);
    EXPECT_EQ(dl::BlockBytes, 32768u) << "blocks count PCM bytes now";
}

TEST_F(Conversion, Layer3FilePlaysToTheEndAsPcm) {
    shift_ = true;
    open("mp3_44k_stereo_128k_cbr.mp3");
    dl::StartPlayback();
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(dl::SourceInfo.ChannelLayout, 3);
    ASSERT_TRUE(play_to_end());
    expect_controls_idle();
    EXPECT_EQ(dl::ConversionStream, nullptr);
    EXPECT_TRUE(dl::ConversionInput.empty());
    // What the device got is what the decoder makes of the whole file.
    const std::string ref = dl_test::read_file(std::string(DEWLARK_TEST_DATA) + "/mp3_44k_stereo_128k_cbr.ref.raw");
    ASSERT_GT(ref.size(), 20000u);
    const size_t first = ref.find_first_not_of('\0');
    expect_played(ref.substr(first, ref.size() - first - 8192), 0);
    EXPECT_FALSE(blocks_.empty());
    EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];
}

TEST_F(Conversion, StreamsThatChangeFormatStopAtTheChange) {
    for (const char* name : {"ogg_44k_stereo_then_22k_mono_chained.ogg", "mp3_44k_then_48k_rate_switch.mp3"}) {
        open(name);
        dl::StartPlayback();
        ASSERT_TRUE(dl::SourceState.running) << name << (boxes_.boxes.empty() ? "" : " " + boxes_.boxes.back().text);
        ASSERT_TRUE(play_to_end()) << name;
        expect_controls_idle();
        const std::string played = dl_test::read_file(disk_);
        EXPECT_GT(played.find_first_not_of('\0'), 0u);
    }
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(Conversion, FirstBufferThatDecodesToNothingCannotConvert) {
    // A layer-3 record over bytes that hold no frame at all.
    using dl_test::u16le, dl_test::u32le;
    const std::string fmt = dl_test::pcm_fmt(2, 44100, 0, 1, 16000, 0x55) + u16le(12) + u16le(1) + u32le(2) + u16le(417) +
                            u16le(1) + u16le(1393);
    const std::string file = dl_test::wave(fmt, std::string(40000, '\0'));
    dl::FileName = dl_test::write_file(dir_ + "/junk_layer3.wav", file);
    dl::SourceState.mode = dl::SourceMode::File;
    if (dl::OpenSource() != dl::Result::Done) GTEST_SKIP() << "the reader refuses this record";
    boxes_.boxes.clear();
    dl::StartPlayback();
    EXPECT_FALSE(dl::SourceState.running);
    ASSERT_FALSE(boxes_.boxes.empty());
    EXPECT_EQ(boxes_.boxes.back().text, "cannot convert");
    EXPECT_FALSE(dl::WaveOutDevice);
    EXPECT_FALSE(dl::SourceFile);
    EXPECT_EQ(dl::ConversionStream, nullptr);
    EXPECT_TRUE(dl::ConversionInput.empty());
    expect_controls_idle();
}

}  // namespace
