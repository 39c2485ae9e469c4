#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reader_files.h"
#include "reader_support.h"
#include "state/source.h"

using namespace dl;
using namespace reader_files;
using namespace reader_support;

namespace {

class HostileFileTest : public ::testing::Test {
protected:
    void SetUp() override { reset_source(); }
    void TearDown() override { reset_source(); }
};

const std::string kData(100, 'd');
const std::string kFmt = pcm_fmt(2, 44100, 16);
const Mpeg kCbr128;

std::string two_frames() { return frame(kCbr128, 417) + frame(kCbr128, 417); }

struct Hostile {
    const char* name;
    std::string bytes;
    // "" when the file opens; then `data` is its data length.
    std::string message;
    uint32_t data = 0;
};

std::vector<Hostile> hostile_files() {
    Mpeg free_format = kCbr128;
    free_format.bitrate_index = 0;
    Mpeg rate15 = kCbr128;
    rate15.bitrate_index = 15;
    const std::string opus = std::string("OpusHead\x01\x02", 10) + u16le(312) + u32le(48000) + u16le(0) + '\0';
    const std::string si = flac_stream_info(4096, 4096, 44100, 2, 16, 44100);
    auto flac = [](const std::string& stream_info) { return "fLaC" + flac_block(0, true, stream_info) + kData; };
    return {
        {"empty file", "", "This file is not WAVE file"},
        {"one byte", "R", "This file is not WAVE file"},
        {"two bytes", "RI", "This file is not WAVE file"},
        {"three bytes", "ID3", "This file is not WAVE file"},
        {"four bytes RIFF", "RIFF", "This file is not WAVE file"},
        {"four bytes Ogg", "OggS", "This file is not WAVE file"},
        {"four bytes of frame header", kCbr128.bytes(), "", 4},
        {"RIFF header cut in the form type", "RIFF" + u32le(100) + "WA", "This file is not WAVE file"},
        {"RIFF without chunks", riff("WAVE", ""), "file destroyed"},
        {"fmt header cut", riff("WAVE", "fmt " + u32le(16)), "cant read FMT"},
        {"fmt header cut in its size", riff("WAVE", "fmt \x10\x00"), "file destroyed"},
        {"fmt body cut", riff("WAVE", "fmt " + u32le(16) + kFmt.substr(0, 9)), "cant read FMT"},
        {"fmt of 14 bytes", wave(kFmt.substr(0, 14), kData), "file destroyed"},
        {"fmt of 0 bytes", wave("", kData), "file destroyed"},
        {"fmt size 0xFFFFFFFF", riff("WAVE", chunk("fmt ", kFmt, 0xFFFFFFFF) + chunk("data", kData)), "file destroyed"},
        {"fmt size 0xFFFFFFF8", riff("WAVE", chunk("fmt ", kFmt, 0xFFFFFFF8) + chunk("data", kData)), "file destroyed"},
        {"fmt of 65,536 bytes", wave(kFmt + std::string(65520, '\0'), kData), "file destroyed"},
        {"fmt of 65,535 bytes", wave(u16le(0x7777) + kFmt.substr(2) + std::string(65519, '\0'), kData),
         "No support this format"},
        {"RIFF size 0xFFFFFFFF", riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData), 0xFFFFFFFF), "", 100},
        {"RIFF size 0xFFFFFFF8", riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData), 0xFFFFFFF8), "", 100},
        {"RIFF size 0", riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData), 0), "This file is not WAVE file"},
        {"RIFF size 4", riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData), 4), "file destroyed"},
        {"data size 0xFFFFFFFF", riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData, 0xFFFFFFFF)), "", 100},
        {"data size 0xFFFFFFF8", riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData, 0xFFFFFFF8)), "", 100},
        {"data size beyond the file", riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData, 5000)), "", 100},
        {"data header cut", riff("WAVE", chunk("fmt ", kFmt) + "data"), "no data"},
        {"odd data at the end without its pad byte",
         riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData.substr(0, 99), -1, false)), "", 99},
        {"odd chunk with its pad byte before fmt",
         riff("WAVE", chunk("JUNK", "abc") + chunk("fmt ", kFmt) + chunk("data", kData)), "", 100},
        {"odd chunk without its pad byte before fmt",
         riff("WAVE", chunk("JUNK", "abc", -1, false) + chunk("fmt ", kFmt) + chunk("data", kData)), "file destroyed"},
        {"chunk size 0xFFFFFFFF before fmt",
         riff("WAVE", chunk("JUNK", "abc", 0xFFFFFFFF) + chunk("fmt ", kFmt) + chunk("data", kData)), "file destroyed"},
        {"chunk size 0xFFFFFFF8 before data",
         riff("WAVE", chunk("fmt ", kFmt) + chunk("JUNK", "ab", 0xFFFFFFF8) + chunk("data", kData)), "no data"},
        {"two fmt chunks: the first counts",
         riff("WAVE", chunk("fmt ", kFmt) + chunk("fmt ", pcm_fmt(9, 0, 8)) + chunk("data", kData)), "", 100},
        {"two fmt chunks: a bad first one",
         riff("WAVE", chunk("fmt ", pcm_fmt(9, 0, 8)) + chunk("fmt ", kFmt) + chunk("data", kData)),
         "No support this format"},
        {"zero channels", wave(pcm_fmt(0, 44100, 16, 4), kData), "No support this format"},
        {"zero rate", wave(pcm_fmt(2, 0, 16), kData), "No support this format"},
        {"zero block align", wave(pcm_fmt(2, 44100, 16, 0), kData), "No support this format"},
        {"zero bits", wave(pcm_fmt(2, 44100, 0, 4), kData), "No support this format"},
        {"everything zero", wave(std::string(16, '\0'), kData), "No support this format"},
        {"compressed tag with zero channels and rate", wave(u16le(0x55) + std::string(14, '\0'), kData),
         "No support this format"},
        {"zero bytes per second still opens", wave(pcm_fmt(2, 44100, 16, 4, 0), kData), "", 100},
        {"rate 0xFFFFFFFF", wave(pcm_fmt(2, 0xFFFFFFFF, 16), kData), "No support this format"},
        {"RMP3 with an empty data chunk", riff("RMP3", chunk("data", "")), "This file is not WAVE file"},
        {"RMP3 data size beyond the file", riff("RMP3", chunk("data", two_frames(), 0xFFFFFFF8)), "", 834},
        {"ID3v2 size beyond the file", id3v2(0x0FFFFFFF, two_frames()), "This file is not WAVE file"},
        {"ID3v2 size 0 then a frame", id3v2(0, two_frames()), "", 834},  // the tag is no sound
        {"ID3v2 header cut", "ID3\x03\x00\x00\x00", "This file is not WAVE file"},
        {"Xing frame count 0", frame(kCbr128, 417, 32, 3, 0) + frame(kCbr128, 417), "", 834},
        {"Xing frame count 0xFFFFFFFF", frame(kCbr128, 417, 32, 3, 0xFFFFFFFF) + frame(kCbr128, 417), "", 834},
        {"Xing cut short", frame(kCbr128, 417, 32, 3, 10).substr(0, 40), "", 40},
        {"free-format first header", frame(free_format, 417) + frame(kCbr128, 417), "This file is not WAVE file"},
        {"bit-rate 15 first header", frame(rate15, 417) + frame(kCbr128, 417), "This file is not WAVE file"},
        {"free-format second header", frame(kCbr128, 417) + frame(free_format, 417), "", 834},
        // A valid head opens; the pages after it are the decoder's business.
        {"Opus in Ogg", ogg_page(opus) + std::string(64, '\0'), "", 47 + 64},
        {"FLAC in Ogg", ogg_page(std::string("\x7f" "FLAC\x01\x00", 7) + std::string(40, '\0')),
         "This file is not WAVE file"},
        {"fLaC alone", "fLaC", "file destroyed"},
        {"STREAMINFO cut", "fLaC" + flac_block(0, true, si.substr(0, 20), 34), "file destroyed"},
        {"STREAMINFO of 20 bytes", "fLaC" + flac_block(0, true, si.substr(0, 20)) + kData, "file destroyed"},
        {"STREAMINFO not first", "fLaC" + flac_block(4, false, "abcd") + flac_block(0, true, si) + kData,
         "file destroyed"},
        {"block of the invalid type", "fLaC" + flac_block(0, false, si) + flac_block(127, true, "") + kData,
         "file destroyed"},
        {"block size 0", flac(flac_stream_info(0, 0, 44100, 2, 16, 1000)), "file destroyed"},
        {"block size 15", flac(flac_stream_info(15, 15, 44100, 2, 16, 1000)), "file destroyed"},
        {"least block size above the most", flac(flac_stream_info(4096, 1152, 44100, 2, 16, 1000)), "file destroyed"},
        {"FLAC rate 0", flac(flac_stream_info(4096, 4096, 0, 2, 16, 1000)), "file destroyed"},
        {"FLAC of 3 bits", flac(flac_stream_info(4096, 4096, 44100, 1, 3, 1000)), "file destroyed"},
        {"padding claiming more than the file",
         "fLaC" + flac_block(0, false, si) + flac_block(1, true, "", 0xFFFFFF) + kData, "file destroyed"},
        {"picture claiming one byte more than the file",
         "fLaC" + flac_block(0, false, si) + flac_block(6, true, kData, 101), "file destroyed"},
        {"FLAC with six channels", flac(flac_stream_info(4096, 4096, 44100, 6, 16, 1000)),
         "No support this format"},
        {"FLAC without frames", "fLaC" + flac_block(0, true, si), "data empty"},
        {"FLAC after an ID3v2 tag", id3v2(20, std::string(20, '\xff') + flac(si)), "", 100},
        {"FLAC after an ID3v2 tag cut short", id3v2(200, "fLaC"), "This file is not WAVE file"},
        {"FLAC in Ogg", ogg_page(ogg_flac_first(si)) + kData, "", 79 + 100},
        {"FLAC in Ogg of mapping version 2", ogg_page(ogg_flac_first(si, 2)) + kData, "file destroyed"},
        {"FLAC in Ogg with block size 0", ogg_page(ogg_flac_first(flac_stream_info(0, 0, 44100, 2, 16, 0))),
         "file destroyed"},
        {"Opus of version 16", ogg_page(opus_head(2, 0, "", 16)) + kData, "file destroyed"},
        {"Opus of 3 channels in family 0", ogg_page(opus_head(3)) + kData, "file destroyed"},
        {"Opus whose mapping names a stream it lacks",
         ogg_page(opus_head(2, 1, std::string("\x01\x01\x00\x05", 4))) + kData, "file destroyed"},
        {"Opus with no stream", ogg_page(opus_head(2, 1, std::string("\x00\x00\x00\x01", 4))) + kData,
         "file destroyed"},
        {"Opus head cut", ogg_page(opus_head(2).substr(0, 15)) + kData, "file destroyed"},
        {"Opus with six channels", ogg_page(opus_head(6, 1, std::string("\x04\x02\x00\x04\x01\x02\x03\x05", 8))) + kData,
         "No support this format"},
        {"Vorbis with zero channels", ogg_page(vorbis_id(0, 44100, 128000)), "No support this format"},
        {"Vorbis with rate 0", ogg_page(vorbis_id(2, 0, 128000)), "No support this format"},
        {"Ogg page cut", ogg_page(vorbis_id(2, 44100, 128000)).substr(0, 45), "This file is not WAVE file"},
    };
}

}  // namespace

TEST_F(HostileFileTest, EachEndsWithItsMessageOrOpens) {
    for (const Hostile& h : hostile_files()) {
        reset_source();
        Opened o = open_bytes(h.bytes);
        if (h.message.empty()) {
            EXPECT_EQ(o.result, 1) << h.name << ": " << (o.texts.empty() ? "" : o.texts.back());
            EXPECT_EQ(SourceInfo.DataTotal, h.data) << h.name;
            EXPECT_EQ(SourceInfo.DataRemaining, h.data) << h.name;
            EXPECT_TRUE(SourceFile) << h.name;
        } else {
            EXPECT_EQ(o.result, 0) << h.name;
            ASSERT_FALSE(o.texts.empty()) << h.name;
            EXPECT_EQ(o.texts.back(), h.message) << h.name;
            EXPECT_FALSE(SourceFile) << h.name;
            EXPECT_FALSE(SourceFormatHeld) << h.name;
        }
    }
}

TEST_F(HostileFileTest, TwoFormatChunksUseTheFirst) {
    Opened o = open_bytes(riff("WAVE", chunk("fmt ", kFmt) + chunk("fmt ", pcm_fmt(1, 8000, 8)) + chunk("data", kData)));
    ASSERT_EQ(o.result, 1);
    EXPECT_EQ(SourceInfo.sample_rate, 44100u);
    EXPECT_EQ(SourceInfo.ChannelLayout, 3);
}

TEST_F(HostileFileTest, DataBeyondTheFileIsReadOnlyAsFarAsItGoes) {
    ASSERT_EQ(open_bytes(riff("WAVE", chunk("fmt ", kFmt) + chunk("data", kData, 0xFFFFFFF8))).result, 1);
    char buf[200];
    EXPECT_EQ(SourceFile->read(buf, 200), 100);
}

TEST_F(HostileFileTest, PathsThatAreNotRegularFilesAreRefusedAtOnce) {
    const std::string dir = dl_test::temp_dir();
    const std::string fifo = dir + "/pipe.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO that nobody writes must not block: the alarm ends a hung run.
    alarm(20);
    for (const std::string& path : {dir, fifo, std::string("/dev/null"), std::string("/dev/zero")}) {
        Opened o = open_path(path);
        EXPECT_EQ(o.result, 0) << path;
        EXPECT_EQ(o.texts, std::vector<std::string>{"cant open file"}) << path;
        EXPECT_FALSE(SourceFile) << path;
    }
    alarm(0);
    unlink(fifo.c_str());
}
