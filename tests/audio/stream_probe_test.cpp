#include <gtest/gtest.h>

#include <cmath>

#include "audio/stream_probe.h"
#include "platform/wave_format.h"
#include "reader_files.h"
#include "reader_support.h"
#include "state/source.h"

using namespace dl;
using namespace reader_files;
using namespace reader_support;

namespace {

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override { reset_source(); }
    void TearDown() override { reset_source(); }

    // Runs the MPEG probe over `bytes` from `at`, with DataTotal set as the reader does.
    int probe_mpeg(const std::string& bytes, uint64_t at = 0) {
        SourceFile = RiffFile::open(dl_test::write_file("probe.bin", bytes));
        SourceInfo.DataTotal = uint32_t(bytes.size() - at);
        SourceFile->seek(int64_t(at), SEEK_SET);
        return ProbeMpegStream(true);
    }
    int probe_ogg(const std::string& bytes) {
        SourceFile = RiffFile::open(dl_test::write_file("probe.bin", bytes));
        return ProbeOggStream(0);
    }
    uint32_t avg() const { return rd32(SourceFormat, kFmtBytesPerSec); }
    dl_test::MessageBoxCapture boxes;
};

const Mpeg kCbr128;  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, stereo, no CRC

}  // namespace

TEST_F(ProbeTest, FrameLengthsOfTheThreeVersionsAndLayers) {
    EXPECT_EQ(MpegFrameLength(0, 3, 128, 44100, 0), 417u);
    EXPECT_EQ(MpegFrameLength(0, 3, 128, 44100, 1), 418u);
    EXPECT_EQ(MpegFrameLength(1, 3, 64, 22050, 0), 208u);
    EXPECT_EQ(MpegFrameLength(2, 3, 8, 8000, 0), 72u);
    EXPECT_EQ(MpegFrameLength(0, 2, 384, 48000, 0), 1152u);
    EXPECT_EQ(MpegFrameLength(1, 2, 64, 22050, 0), 417u);  // layer II: 1152 samples in MPEG-2 too
    EXPECT_EQ(MpegFrameLength(0, 1, 448, 32000, 1), 676u);  // (168 + 1) slots of 4 bytes
    EXPECT_EQ(MpegFrameLength(1, 1, 256, 24000, 0), 512u);
}

TEST_F(ProbeTest, HeaderFieldsAndRejections) {
    MpegHeader h;
    Mpeg m;
    ASSERT_EQ(ParseMpegHeader(reinterpret_cast<const uint8_t*>(m.bytes().data()), h), MpegHeaderCheck::Ok);
    EXPECT_EQ(h.version, 0);
    EXPECT_EQ(h.layer, 3);
    EXPECT_EQ(h.kbps, 128);
    EXPECT_EQ(h.rate, 44100u);
    auto check = [&](const Mpeg& x) { return ParseMpegHeader(reinterpret_cast<const uint8_t*>(x.bytes().data()), h); };
    Mpeg v25 = m;
    v25.sync_fff = false;
    v25.version_bit = 0;
    v25.rate_index = 2;
    v25.bitrate_index = 14;
    ASSERT_EQ(check(v25), MpegHeaderCheck::Ok);
    EXPECT_EQ(h.version, 2);
    EXPECT_EQ(h.rate, 8000u);
    EXPECT_EQ(h.kbps, 160);
    Mpeg l1 = m;
    l1.layer_code = 3;
    l1.version_bit = 0;
    l1.bitrate_index = 9;
    ASSERT_EQ(check(l1), MpegHeaderCheck::Ok);
    EXPECT_EQ(h.layer, 1);
    EXPECT_EQ(h.kbps, 144);  // MPEG-2 layer I
    Mpeg bad = m;
    bad.layer_code = 0;
    EXPECT_EQ(check(bad), MpegHeaderCheck::BadLayer);
    bad = m;
    bad.rate_index = 3;
    EXPECT_EQ(check(bad), MpegHeaderCheck::BadRate);
    bad = m;
    bad.bitrate_index = 0;
    EXPECT_EQ(check(bad), MpegHeaderCheck::BadSync);
    bad.bitrate_index = 15;
    EXPECT_EQ(check(bad), MpegHeaderCheck::BadSync);
    const uint8_t not_sync[4] = {0xFF, 0xD3, 0x90, 0};
    EXPECT_EQ(ParseMpegHeader(not_sync, h), MpegHeaderCheck::BadSync);
}

TEST_F(ProbeTest, ConstantRateRecordByteForByte) {
    std::string s = frame(kCbr128, 417) + frame(kCbr128, 417);
    ASSERT_EQ(probe_mpeg(s), kProbeRecognised);
    const std::vector<uint8_t> expected = {0x55, 0, 2, 0, 0x44, 0xac, 0, 0, 0x80, 0x3e, 0, 0, 1, 0, 0, 0,
                                           12, 0, 1, 0, 0, 0, 0, 0, 0xa1, 0x01, 1, 0, 0x71, 0x05};
    EXPECT_EQ(SourceFormat, expected);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ProbeTest, PaddingAndModeExtensionDoNotMakeAStreamVariable) {
    Mpeg padded = kCbr128;
    padded.padding = 1;
    padded.mode = 1;
    std::string s = frame(padded, 418) + (Mpeg{kCbr128}.bytes());
    s[418 + 3] = char(0x60);  // joint stereo with the upper mode-extension bit
    s += std::string(413, '\0');
    ASSERT_EQ(probe_mpeg(s), kProbeRecognised);
    EXPECT_EQ(rd32(SourceFormat, 20), 1u);   // the padding flag
    EXPECT_EQ(rd16(SourceFormat, 24), 418);  // block size with padding
    EXPECT_EQ(avg(), 16000u);
}

TEST_F(ProbeTest, VariableRateTakesTheHigherSecondRate) {
    Mpeg second = kCbr128;
    second.bitrate_index = 11;  // 192 kbit/s
    ASSERT_EQ(probe_mpeg(frame(kCbr128, 417) + frame(second, 626)), kProbeRecognised);
    EXPECT_EQ(avg(), 24000u);
    reset_source();
    second.bitrate_index = 5;  // 64 kbit/s: the first rate stays
    ASSERT_EQ(probe_mpeg(frame(kCbr128, 417) + frame(second, 208)), kProbeRecognised);
    EXPECT_EQ(avg(), 16000u);
}

TEST_F(ProbeTest, Id3v2TagIsSkippedToTheFirstSyncByte) {
    // Size field 1000: the header is at 1,010, after some junk bytes without 0xFF.
    std::string tag = id3v2(1000, std::string(1000, 'x')) + "abc";
    ASSERT_EQ(probe_mpeg(tag + frame(kCbr128, 417) + frame(kCbr128, 417)), kProbeRecognised);
    EXPECT_EQ(rd16(SourceFormat, 24), 417);
    EXPECT_EQ(SourceFile->tell(), 1013u + 417u + 4u);
    // A tag whose size runs past the end of the file is not a stream.
    reset_source();
    EXPECT_EQ(probe_mpeg(id3v2(0x0FFFFFFF, "short")), kProbeNotThisKind);
    EXPECT_EQ(probe_mpeg(std::string("ID3\x03\x00", 5)), kProbeNotThisKind);
    // A tag with no sync byte after it.
    EXPECT_EQ(probe_mpeg(id3v2(4, std::string(4000, 'z'))), kProbeNotThisKind);
    EXPECT_FALSE(SourceFormatHeld);
}

TEST_F(ProbeTest, Id3v2InsideARiffDataChunkCountsFromTheTagStart) {
    std::string prefix(44, 'R');
    std::string s = prefix + id3v2(20, std::string(20, 'x')) + frame(kCbr128, 417) + frame(kCbr128, 417);
    ASSERT_EQ(probe_mpeg(s, 44), kProbeRecognised);
    EXPECT_EQ(SourceFile->tell(), 44u + 30u + 417u + 4u);
}

TEST_F(ProbeTest, XingFrameCountGivesTheAverageRate) {
    // 10,000 frames; s = 417 / 16000, the duration about 260.6 s.
    std::string s = frame(kCbr128, 417, 32, 3, 10000) + frame(kCbr128, 417);
    s += std::string(2000000 - s.size(), '\0');
    ASSERT_EQ(probe_mpeg(s), kProbeRecognised);
    EXPECT_EQ(avg(), uint32_t(std::floor(2000000.0 / (10000 * 417.0 / 16000))));
    EXPECT_NEAR(10000 * 417.0 / 16000, 10000 * 1152.0 / 44100, 1.0);
    EXPECT_TRUE(boxes.boxes.empty());

    reset_source();
    std::string s200 = frame(kCbr128, 417, 32, 3, 200) + frame(kCbr128, 417);
    ASSERT_EQ(probe_mpeg(s200), kProbeRecognised);
    EXPECT_EQ(avg(), uint32_t(std::floor(834.0 / (200 * 417.0 / 16000))));
}

TEST_F(ProbeTest, XingOffsetsDependOnVersionChannelsAndCrc) {
    struct Case {
        int version_bit, mode;
        bool crc;
        int at;
    } cases[] = {{1, 3, false, 17}, {1, 0, false, 32}, {0, 3, false, 9}, {0, 0, false, 17}, {1, 3, true, 19},
                 {1, 0, true, 34}};
    for (const Case& c : cases) {
        reset_source();
        Mpeg h = kCbr128;
        h.version_bit = c.version_bit;
        h.mode = c.mode;
        h.crc = c.crc;
        const uint32_t len = c.version_bit ? 417 : MpegFrameLength(1, 3, 80, 22050, 0);
        std::string s = frame(h, len, c.at, 3, 100) + frame(h, len);
        ASSERT_EQ(probe_mpeg(s), kProbeRecognised);
        EXPECT_NE(avg(), uint32_t(h.version_bit ? 16000 : 10000)) << "Xing at " << c.at;
        // One byte off is not found.
        reset_source();
        s = frame(h, len, c.at + 1, 3, 100) + frame(h, len);
        ASSERT_EQ(probe_mpeg(s), kProbeRecognised);
        EXPECT_EQ(avg(), uint32_t(h.version_bit ? 16000 : 10000)) << "Xing at " << c.at + 1;
    }
}

TEST_F(ProbeTest, XingFlagsWithoutCountsShowTheirBoxes) {
    ASSERT_EQ(probe_mpeg(frame(kCbr128, 417, 32, 0, 100) + frame(kCbr128, 417)), kProbeRecognised);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    for (const auto& b : boxes.boxes) {
        EXPECT_EQ(b.text, "FLAG ERROR");
        EXPECT_EQ(b.caption, "Xing");
        EXPECT_FALSE(b.owned);
    }
    boxes.boxes.clear();
    reset_source();
    ASSERT_EQ(probe_mpeg(frame(kCbr128, 417, 32, 1, 100) + frame(kCbr128, 417)), kProbeRecognised);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"FLAG ERROR"});
}

TEST_F(ProbeTest, XingCountsOfZeroAndAllOnesKeepTheConstantRate) {
    for (uint32_t frames : {0u, 0xFFFFFFFFu}) {
        reset_source();
        ASSERT_EQ(probe_mpeg(frame(kCbr128, 417, 32, 3, frames) + frame(kCbr128, 417)), kProbeRecognised);
        EXPECT_EQ(avg(), 16000u) << frames;
    }
    // One frame over a big file would not fit the record's 32 bits.
    reset_source();
    SourceFile = RiffFile::open(dl_test::write_file("probe.bin", frame(kCbr128, 417, 32, 3, 1) + frame(kCbr128, 417)));
    SourceInfo.DataTotal = 0xFFFFFFFF;  // a stream inside a RIFF chunk keeps the chunk's length
    ASSERT_EQ(ProbeMpegStream(false), kProbeRecognised);
    EXPECT_EQ(avg(), 16000u);
}

TEST_F(ProbeTest, BadSecondHeadersStillRecogniseTheStream) {
    struct Case {
        std::string second;
        const char* box;
    } cases[] = {{"", "read"}, {"\x12\x34\x56\x78", "fff"}, {[] { Mpeg m = kCbr128; m.bitrate_index = 0; return m.bytes(); }(), "fff"},
                 {[] { Mpeg m = kCbr128; m.bitrate_index = 15; return m.bytes(); }(), "fff"},
                 {[] { Mpeg m = kCbr128; m.layer_code = 0; return m.bytes(); }(), "layer"},
                 {[] { Mpeg m = kCbr128; m.rate_index = 3; return m.bytes(); }(), "rate"}};
    for (const Case& c : cases) {
        reset_source();
        boxes.boxes.clear();
        // Even a Xing tag is not looked at once the second header failed.
        ASSERT_EQ(probe_mpeg(frame(kCbr128, 417, 32, 3, 5) + c.second), kProbeRecognised) << c.box;
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.box});
        EXPECT_TRUE(boxes.boxes[0].owned);
        EXPECT_EQ(boxes.boxes[0].caption, "");
        EXPECT_EQ(boxes.boxes[0].icon, MbIcon::None);
        EXPECT_EQ(avg(), 16000u);
    }
}

TEST_F(ProbeTest, CrcFramesAreMeasuredByTheirStandardLength) {
    // The encoder's CRC-protected stream: the second header lies 417 bytes on, with no diagnostic box.
    std::string crc = dl_test::read_file(data("mp3_cbr128_44k_stereo_crc.mp3"));
    ASSERT_EQ(probe_mpeg(crc), kProbeRecognised);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(rd16(SourceFormat, 24), 417);
}

TEST_F(ProbeTest, EncoderStreams) {
    struct Case {
        const char* file;
        uint16_t channels;
        uint32_t rate;
        uint16_t block;
        bool xing;
    } cases[] = {{"mp3_cbr128_44k_stereo.mp3", 2, 44100, 417, false},
                 {"mp3_vbr_44k_stereo_xing.mp3", 2, 44100, 0, true},
                 {"mp3_cbr64_22k_mono_id3v2.mp3", 1, 22050, 208, false},
                 {"mp3_cbr128_48k_stereo.mp3", 2, 48000, 384, false}};
    for (const Case& c : cases) {
        reset_source();
        std::string bytes = dl_test::read_file(data(c.file));
        ASSERT_EQ(probe_mpeg(bytes), kProbeRecognised) << c.file;
        EXPECT_EQ(rd16(SourceFormat, kFmtChannels), c.channels) << c.file;
        EXPECT_EQ(rd32(SourceFormat, kFmtRate), c.rate) << c.file;
        if (c.block) {
            EXPECT_EQ(rd16(SourceFormat, 24), c.block) << c.file;
        }
        if (!c.xing) {
            EXPECT_EQ(avg() % 1000, 0u) << c.file;
        } else {
            // A 0.5 s stream: the average follows from the frame count, not from the first frame's rate.
            const double seconds = double(bytes.size()) / avg();
            EXPECT_NEAR(seconds, 0.5, 0.1) << c.file;
        }
    }
}

TEST_F(ProbeTest, OggVorbisRecordByteForByte) {
    ASSERT_EQ(probe_ogg(ogg_page(vorbis_id(2, 44100, 128000))), kProbeRecognised);
    const std::vector<uint8_t> expected = {0x4f, 0x67, 2, 0, 0x44, 0xac, 0, 0, 0x80, 0x3e, 0, 0, 4, 0,
                                           16, 0, 8, 0, 0, 0, 0x14, 0x12, 0, 0x20, 0x31, 0x10, 0, 0x20};
    EXPECT_EQ(SourceFormat, expected);
    reset_source();
    // An unset nominal rate (0 or negative) gives no byte rate rather than a wrapped one.
    ASSERT_EQ(probe_ogg(ogg_page(vorbis_id(1, 22050, -1000))), kProbeRecognised);
    EXPECT_EQ(avg(), 0u);
    reset_source();
    ASSERT_EQ(probe_ogg(ogg_page(vorbis_id(1, 22050, 64007))), kProbeRecognised);
    EXPECT_EQ(avg(), 8000u);
}

TEST_F(ProbeTest, OnlyVorbisInOggIsOggVorbis) {
    std::string opus = std::string("OpusHead\x01\x02", 10) + u16le(312) + u32le(48000) + u16le(0) + std::string(1, '\0');
    // Followed by more pages, so the whole identification area can be read.
    EXPECT_EQ(probe_ogg(ogg_page(opus) + std::string(64, '\0')), kProbeNotThisKind);
    EXPECT_EQ(probe_ogg(ogg_page(std::string("\x7f" "FLAC\x01\x00", 7) + std::string(40, '\0'))), kProbeNotThisKind);
    EXPECT_EQ(probe_ogg(ogg_page(vorbis_id(2, 44100, 128000)).substr(0, 50)), kProbeNotThisKind);
    EXPECT_FALSE(SourceFormatHeld);
}

TEST_F(ProbeTest, FilesShorterThanAHeaderAreNeitherKind) {
    for (size_t n = 0; n < 4; ++n) {
        std::string bytes = std::string("\xFF\xFB\x90", 3).substr(0, n);
        EXPECT_EQ(probe_mpeg(bytes), kProbeNotThisKind) << n;
        EXPECT_EQ(probe_ogg(std::string("Ogg").substr(0, n)), kProbeNotThisKind) << n;
    }
}

TEST_F(ProbeTest, Mpeg2LayerIIFramesAreFoundAtTheirFullLength) {
    Mpeg h;
    h.version_bit = 0;  // MPEG-2
    h.layer_code = 2;   // layer II
    h.bitrate_index = 8;  // 64 kbit/s
    ASSERT_EQ(probe_mpeg(frame(h, 417) + frame(h, 417)), kProbeRecognised);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(rd16(SourceFormat, 24), 417);
    EXPECT_EQ(rd32(SourceFormat, kFmtRate), 22050u);
}
