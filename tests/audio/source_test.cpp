#include <gtest/gtest.h>
#include <sys/stat.h>

#include "audio/source_messages.h"
#include "audio/stream_probe.h"
#include "display/position_line.h"
#include "display/source_panel.h"
#include "platform/wave_format.h"
#include "reader_files.h"
#include "reader_support.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/view.h"
#include "state/window_dc.h"

using namespace dl;
using namespace reader_files;
using namespace reader_support;

namespace {

constexpr Rgb kRed{255, 0, 0};

class SourceTest : public ::testing::Test {
protected:
    void SetUp() override { reset_source(); }
    void TearDown() override { reset_source(); }
};

std::string hex(const std::vector<uint8_t>& v) {
    std::string s;
    char b[3];
    for (uint8_t c : v) {
        snprintf(b, sizeof b, "%02x", c);
        s += b;
    }
    return s;
}

std::string tone_data(size_t n) {
    std::string d(n, '\0');
    for (size_t i = 0; i < n; ++i) d[i] = char(i * 7);
    return d;
}

}  // namespace

TEST_F(SourceTest, PcmWaveOpensAtItsFirstDataByte) {
    std::string data = tone_data(4000);
    Opened o = open_bytes(wave(pcm_fmt(2, 44100, 16), data));
    ASSERT_EQ(o.result, 1) << (o.texts.empty() ? "" : o.texts[0]);
    EXPECT_TRUE(o.texts.empty());
    EXPECT_EQ(SourceInfo.format_tag, 1);
    EXPECT_EQ(SourceInfo.sample_rate, 44100u);
    EXPECT_EQ(SourceInfo.khz, 44);
    EXPECT_EQ(SourceInfo.bits, 16);
    EXPECT_EQ(SourceInfo.block_align, 4);
    EXPECT_EQ(SourceInfo.source_bytes_per_second, 176400u);
    EXPECT_EQ(SourceInfo.output_bytes_per_second, 176400u);
    EXPECT_EQ(SourceInfo.ChannelLayout, 3);
    EXPECT_EQ(SourceInfo.DataTotal, 4000u);
    EXPECT_EQ(SourceInfo.DataRemaining, 4000u);
    EXPECT_EQ(SourceFormat.size(), 16u);
    ASSERT_TRUE(SourceFile);
    char first[8];
    ASSERT_EQ(SourceFile->read(first, 8), 8);
    EXPECT_EQ(std::string(first, 8), data.substr(0, 8));
}

TEST_F(SourceTest, ChannelLayoutFollowsChannelsAndBits) {
    struct Case {
        uint32_t channels, bits;
        int layout;
    } cases[] = {{1, 8, 0}, {1, 16, 1}, {2, 8, 2}, {2, 16, 3}, {2, 24, 2}, {1, 24, 0}};
    for (const Case& c : cases) {
        std::vector<uint8_t> rec(18, 0);
        wr16(rec, kFmtTag, 1);
        wr16(rec, kFmtChannels, uint16_t(c.channels));
        wr16(rec, kFmtBits, uint16_t(c.bits));
        PublishSourceFormat(rec);
        EXPECT_EQ(SourceInfo.ChannelLayout, c.layout) << c.channels << " ch " << c.bits << " bit";
    }
}

TEST_F(SourceTest, LongFormatChunksAreKeptWhole) {
    // 18 and 30 bytes (with cbSize and extra bytes) as written, and encoder-made 50-byte ADPCM / 18-byte float ones.
    for (size_t extra : {2u, 14u}) {
        std::string fmt = pcm_fmt(1, 8000, 16) + u16le(uint32_t(extra - 2));
        for (size_t i = 2; i < extra; ++i) fmt += char(0xA0 + i);
        ASSERT_EQ(open_bytes(wave(fmt, tone_data(100))).result, 1);
        EXPECT_EQ(hex(SourceFormat), hex(std::vector<uint8_t>(fmt.begin(), fmt.end())));
        reset_source();
    }
    Opened adpcm = open_path(data("wav_msadpcm_8k_mono.wav"));
    ASSERT_EQ(adpcm.result, 1);
    EXPECT_EQ(SourceFormat.size(), 50u);
    EXPECT_EQ(SourceInfo.format_tag, 2);
    EXPECT_EQ(SourceInfo.bits, 4);
    reset_source();
    Opened flt = open_path(data("wav_float32_11k_mono.wav"));
    ASSERT_EQ(flt.result, 1) << (flt.texts.empty() ? "" : flt.texts[0]);
    EXPECT_EQ(SourceInfo.bits, 32);
    EXPECT_EQ(SourceInfo.ChannelLayout, 0);
}

TEST_F(SourceTest, EncodedWaveFixturesOpen) {
    ASSERT_EQ(open_path(data("wav_pcm16_44k_stereo.wav")).result, 1);
    EXPECT_EQ(SourceInfo.ChannelLayout, 3);
    EXPECT_EQ(SourceInfo.DataTotal, 4410u * 4);
    reset_source();
    ASSERT_EQ(open_path(data("wav_pcm8_11k_mono.wav")).result, 1);
    EXPECT_EQ(SourceInfo.ChannelLayout, 0);
    EXPECT_EQ(SourceInfo.khz, 11);
    EXPECT_EQ(SourceInfo.DataTotal, 2205u);
}

TEST_F(SourceTest, RawMpegOpensWithTheSoundBetweenItsTags) {
    std::string path = data("mp3_cbr64_22k_mono_id3v2.mp3");
    Opened o = open_path(path);
    ASSERT_EQ(o.result, 1);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    const uint64_t tag = 133;  // the ID3v2 tag lame wrote in front
    EXPECT_EQ(SourceInfo.DataTotal, uint32_t(st.st_size - tag));
    EXPECT_EQ(SourceFile->tell(), tag);  // the file waits at the first frame
    EXPECT_NEAR(SourceInfo.ExactSeconds, 0.5, 1e-9);
    EXPECT_EQ(SourceInfo.format_tag, 0x0055);
    EXPECT_EQ(SourceInfo.khz, 22);
    EXPECT_EQ(SourceInfo.bits, 0);
    EXPECT_EQ(rd16(SourceFormat, 24), 208);  // 64 * 72000 / 22050
    EXPECT_EQ(BitLineText(), "64 kbps ");
}

// A chain plays on while its links keep the format: its length is what plays. A 0.25 s link at 44.1 kHz
// stereo followed by a 0.4 s one at 22.05 kHz mono plays the first only.
TEST_F(SourceTest, AChainedOggLastsAsLongAsItsLinksOfTheFirstFormat) {
    ASSERT_EQ(open_path(data("ogg_44k_stereo_chained_same_format.ogg")).result, 1);
    EXPECT_NEAR(SourceInfo.ExactSeconds, 0.55, 0.005);
    reset_source();
    const std::string changes = data("ogg_44k_stereo_then_22k_mono_chained.ogg");
    ASSERT_EQ(open_path(changes).result, 1);
    EXPECT_NEAR(SourceInfo.ExactSeconds, 0.25, 0.005);
    const uint32_t first_link = uint32_t(dl_test::read_file(data("ogg_44k_stereo_q3.ogg")).size());
    EXPECT_EQ(SourceInfo.DataTotal, first_link);
    EXPECT_EQ(LengthLineText(), "Total:      5 kb      0 sec");
}

TEST_F(SourceTest, Mpeg48kIsQueriedAs44kButPublishedAndKeptAt48k) {
    ASSERT_EQ(open_path(data("mp3_cbr128_48k_stereo.mp3")).result, 1);
    EXPECT_EQ(SourceInfo.sample_rate, 48000u);
    EXPECT_EQ(SourceInfo.khz, 48);
    EXPECT_EQ(rd32(SourceFormat, kFmtRate), 48000u);
    EXPECT_EQ(rd16(SourceFormat, 24), 384);  // 128 * 144000 / 48000
}

TEST_F(SourceTest, RiffWrappedMpegOpensAtItsDataChunk) {
    std::string mp3 = dl_test::read_file(data("mp3_cbr128_44k_stereo.mp3"));
    std::string file = riff("RMP3", chunk("fmt ", pcm_fmt(2, 44100, 16)) + chunk("data", mp3));
    Opened o = open_bytes(file);
    ASSERT_EQ(o.result, 1);
    EXPECT_EQ(SourceInfo.format_tag, 0x0055);
    EXPECT_EQ(SourceInfo.DataTotal, mp3.size());
    EXPECT_EQ(SourceFile->tell(), 12u + 24u + 8u);
    EXPECT_EQ(rd32(SourceFormat, kFmtBytesPerSec), 16000u);

    reset_source();
    Opened garbage = open_bytes(riff("RMP3", chunk("data", tone_data(600))));
    EXPECT_EQ(garbage.result, 0);
    EXPECT_EQ(garbage.texts, std::vector<std::string>{"This file is not WAVE file"});
    EXPECT_FALSE(SourceFile);
    EXPECT_FALSE(SourceFormatHeld);

    JapaneseUi = true;
    garbage = open_bytes(riff("RMP3", chunk("data", tone_data(600))));
    EXPECT_EQ(garbage.texts, std::vector<std::string>{"指定したファイルは、WAVEファイルではありません。"});
}

TEST_F(SourceTest, OggVorbisOpensWithItsNominalRate) {
    Opened o = open_path(data("ogg_vorbis128_44k_stereo.ogg"));
    ASSERT_EQ(o.result, 1);
    EXPECT_EQ(SourceInfo.format_tag, 0x674F);
    EXPECT_EQ(SourceInfo.bits, 0);  // no bit depth for Ogg records
    EXPECT_EQ(SourceInfo.source_bytes_per_second, 16000u);
    EXPECT_EQ(SourceInfo.block_align, 4);
    EXPECT_EQ(SourceFormat.size(), 28u);
    EXPECT_EQ(BitLineText(), "128kbps ");
}

TEST_F(SourceTest, FailuresReportOnceAndLeaveNothingOpen) {
    struct Case {
        std::string bytes, english, japanese;
    } cases[] = {
        {"plain text, not a sound", "This file is not WAVE file", "指定したファイルは、RIFFファイルではありません。"},
        {riff("RMP3", chunk("LIST", "abcd")), "no data", "RIFFファイルにデータ チャンクがありません。"},
        {riff("WAVE", chunk("data", "abcd")), "file destroyed", "WAVEファイルが壊れています。"},
        {riff("WAVE", chunk("fmt ", pcm_fmt(1, 8000, 8))), "no data", "WAVEファイルにデータ チャンクがありません。"},
        {wave(pcm_fmt(1, 8000, 8), ""), "data empty", "データ チャンクが空です。"},
        {wave(pcm_fmt(3, 8000, 8), "abcd"), "No support this format", "この形式を再生できるドライバがありません。"},
        {riff("WAVE", "fmt " + u32le(16) + "abcdef"), "cant read FMT", "形式チャンクを読み取れません。"},
    };
    for (bool japanese : {false, true}) {
        for (const Case& c : cases) {
            reset_source();
            // A record held from an earlier file must not survive a failure.
            AllocateFormatRecord(16);
            JapaneseUi = japanese;
            Opened o = open_bytes(c.bytes);
            EXPECT_EQ(o.result, 0) << c.english;
            EXPECT_EQ(o.texts, std::vector<std::string>{japanese ? c.japanese : c.english});
            EXPECT_FALSE(SourceFile) << c.english;
            EXPECT_FALSE(SourceFormatHeld) << c.english;
        }
    }
    reset_source();
    EXPECT_EQ(open_path("").texts, std::vector<std::string>{"file name ?"});
    EXPECT_EQ(open_path("/nonexistent/x.wav").texts, std::vector<std::string>{"cant open file"});
    JapaneseUi = true;
    EXPECT_EQ(open_path("").texts, std::vector<std::string>{"ファイル名が未入力。"});
    EXPECT_EQ(open_path("/nonexistent/x.wav").texts, std::vector<std::string>{"ファイルを開けません。"});
}

TEST_F(SourceTest, MessagesAreOwnedExclamationBoxesWithTheDefaultCaption) {
    dl_test::MessageBoxCapture boxes;
    FileName = "";
    OpenSource();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].owned);
    EXPECT_EQ(boxes.boxes[0].caption, "");
    EXPECT_EQ(boxes.boxes[0].icon, MbIcon::Exclamation);
}

TEST_F(SourceTest, OldPlatformSkipsTheQueryOnlyForCompressedStereo) {
    // An undecodable stereo format passes unasked on the old platform; mono is still asked.
    std::string fmt = u16le(0x7777) + u16le(2) + u32le(8000) + u32le(8000) + u16le(4) + u16le(16);
    PlatformVersion = 779;
    EXPECT_EQ(open_bytes(wave(fmt, "abcd")).result, 1);
    reset_source();
    PlatformVersion = 779;
    std::string mono = u16le(0x7777) + u16le(1) + u32le(8000) + u32le(8000) + u16le(2) + u16le(16);
    EXPECT_EQ(open_bytes(wave(mono, "abcd")).texts, std::vector<std::string>{"No support this format"});
    reset_source();
    PlatformVersion = 780;
    EXPECT_EQ(open_bytes(wave(fmt, "abcd")).texts, std::vector<std::string>{"No support this format"});
}

TEST_F(SourceTest, VolumeSizesAreCappedAt2GiB) {
    EXPECT_EQ(CapVolumeBytes(4096, 1000), 4096000u);
    EXPECT_EQ(CapVolumeBytes(4096, 524288), 0x80000000u);   // exactly 2 GiB: 2^31 / 4096 is not less
    EXPECT_EQ(CapVolumeBytes(4096, 524289), 0x80000000u);
    EXPECT_EQ(CapVolumeBytes(512, uint64_t(1) << 40), 0x80000000u);
    EXPECT_EQ(CapVolumeBytes(3000, 715827), 2147481000u);  // just under the cap, not a multiple of 2
    EXPECT_EQ(CapVolumeBytes(0, 100), 0u);
    uint32_t free = MeasureDiskSpace(dl_test::temp_dir() + "/x.wav");
    EXPECT_EQ(free, DiskSpace.free);
    EXPECT_GT(DiskSpace.bytes_per_cluster, 0u);
    EXPECT_GT(DiskSpace.total, 0u);
    EXPECT_LE(DiskSpace.total, 0x80000000u);
    EXPECT_LE(DiskSpace.free, DiskSpace.total);
    // The length line of a 2 GiB volume in record-port mode: 2,097,152 kb.
    SourceState.mode = SourceMode::RecordPort;
    DiskSpace.free = 0x80000000u;
    SourceInfo.source_bytes_per_second = 176400;
    EXPECT_EQ(LengthLineText(), "Free: 2097152 kb  12174 sec");
    SourceState.mode = SourceMode::File;
}

TEST_F(SourceTest, PanelLineTexts) {
    SourceInfo = SourceInfoRecord{};
    EXPECT_EQ(LengthLineText(), "Total:      0 kb      0 sec");
    SourceInfo.khz = 44;
    SourceInfo.bits = 16;
    SourceInfo.source_bytes_per_second = 176400;
    SourceInfo.DataTotal = 1764000;
    EXPECT_EQ(KhzLineText(), "44 kHz  ");
    EXPECT_EQ(BitLineText(), "16 bit  ");
    EXPECT_EQ(LengthLineText(), "Total:   1722 kb     10 sec");
    SourceInfo.bits = 0;
    SourceInfo.khz = 0;
    EXPECT_EQ(BitLineText(), " 0 bit  ");  // no rate at all: the bit line, not a bit rate
    SourceInfo.khz = 44;
    struct Case {
        uint16_t tag;
        uint32_t bps;
        const char* text;
    } cases[] = {{0x55, 16000, "128kbps "}, {0x55, 8000, "64 kbps "}, {0x55, 1000, " 8 kbps "},
                 {0x55, 200000, "195KB/s "}, {0x32, 1000, " 8000b "}, {0x55, 12375, "99 kbps "}};
    for (const Case& c : cases) {
        SourceInfo.format_tag = c.tag;
        SourceInfo.source_bytes_per_second = c.bps;
        EXPECT_EQ(BitLineText(), c.text) << c.bps;
    }
}

TEST_F(SourceTest, PositionLineFollowsTheSourceState) {
    SourceInfo.source_bytes_per_second = 16000;
    SourceState.running = false;
    EXPECT_EQ(PositionLineText(), "Pos:        0 kb      0 sec");
    SourceState.running = true;
    SourceState.mode = SourceMode::File;
    BufferCount = 4;
    PlaybackProgress = 160000;
    EXPECT_EQ(PositionLineText(), "Pos:      156 kb     10 sec");
    SourceState.mode = SourceMode::RecordPort;
    SourceInfo.DataRemaining = 32000;
    EXPECT_EQ(PositionLineText(), "Pos:       31 kb      2 sec");
    SourceState.mode = SourceMode::File;
    BufferCount = 1;
    TimerStartStamp = 1000;
    TimerElapsedStamp = 1000;
    EXPECT_EQ(PositionLineText(), "Pos:        0 kb      0 sec");
    TimerElapsedStamp = 4200;
    EXPECT_EQ(PositionLineText(), "Pos:       50 kb      3 sec");
    SourceInfo.source_bytes_per_second = 0;  // never a division by zero
    BufferCount = 4;
    EXPECT_EQ(PositionLineText(), "Pos:      156 kb      0 sec");
    SourceState = SourceStateRecord{};
    BufferCount = 4;
    PlaybackProgress = 0;
}

TEST_F(SourceTest, PublishDrawsTheFormatLinesOnTheWindow) {
    Surface surface(600, 200);
    surface.fill(kRed);
    WindowSurface = &surface;
    DarkScheme = true;
    Opened o = open_path(data("wav_pcm16_44k_stereo.wav"));
    WindowSurface = nullptr;
    ASSERT_EQ(o.result, 1);
    EXPECT_EQ(HeldWindowDcCount(), 0);
    auto has = [&](int x0, int y0, int w, int h, Rgb colour) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                if (surface.pixel(x, y) == colour) return true;
        return false;
    };
    // "44 kHz" at (X, 7Y), "16 bit" at (X, 10Y), the length at (9X, 10Y), the position at (9X, 7Y):
    // white text on black cells where the red background was.
    EXPECT_TRUE(has(CellWidth, CellHeight * 7, CellWidth * 6, CellHeight * 2, kWhite));
    EXPECT_TRUE(has(CellWidth, CellHeight * 10, CellWidth * 6, CellHeight * 2, kWhite));
    EXPECT_TRUE(has(CellWidth * 9, CellHeight * 10, CellWidth * 27, CellHeight * 2, kWhite));
    EXPECT_TRUE(has(CellWidth * 9, CellHeight * 7, CellWidth * 27, CellHeight * 2, kWhite));
    EXPECT_EQ(surface.pixel(CellWidth * 2, CellHeight * 7 + 1), kBlack);
    EXPECT_EQ(surface.pixel(0, 0), kRed);  // nothing outside the panel lines
}

TEST_F(SourceTest, QueryRefusalsAndAllocationFailuresHaveTheirTexts) {
    // Answers the device query can give, and the texts of the record's allocation and lock failures.
    struct Case {
        SourceMessage m;
        const char* english;
        const char* japanese;
    } cases[] = {
        {QueryMessage(2), "can't open WaveOut device", "範囲外のデバイスIDが指定されました。"},
        {QueryMessage(4), "can't open WaveOut device", "他のソフトが再生回路を使っています。"},
        {QueryMessage(7), "no memory", "メモリの割り当てができません。"},
        {QueryMessage(32), "No support this format", "この形式を再生できるドライバがありません。"},
        {QueryMessage(1), "can't open WaveOut device", "音声出力デバイスを開けません。"},
        {SourceMessage::FormatAllocFailed, "no memory", "極度のメモリ不足です。"},
        {SourceMessage::FormatLockFailed, "memory lock failed", "メモリのロックに失敗しました。"},
    };
    for (const Case& c : cases) {
        JapaneseUi = false;
        EXPECT_STREQ(SourceMessageText(c.m), c.english);
        JapaneseUi = true;
        EXPECT_STREQ(SourceMessageText(c.m), c.japanese);
    }
}
