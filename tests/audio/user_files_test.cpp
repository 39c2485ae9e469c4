// Files as ordinary encoders and taggers write them, made here by those tools (lame, oggenc,
// vorbiscomment) or by patching a few bytes, and compared with the reference decoders (mpg123,
// oggdec, sox): the sound played, the length read, and one analysed row per time slice.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "audio/encoded_files.h"
#include "audio/ogg_pages.h"
#include "audio/playback_fixture.h"
#include "state/settings.h"
#include "state/source.h"

namespace {

using namespace encoded_files;

using UserFiles = EncodedFiles;

TEST_F(UserFiles, AnMp3WithALargeCoverPlaysAndAnalysesLikeWithout) {
    const std::string plain = wav("tone.wav", 1, 22050, play_test::tones(22050, {440, 880}, 2.0));
    const std::string mp3 = dir() + "/plain.mp3";
    tool("lame --quiet -b 64 " + plain + " " + mp3);
    const std::string covered = dir() + "/covered.mp3";
    const std::string tag = id3v2_with_cover(1200000);
    dl_test::write_file(covered, tag + dl_test::read_file(mp3));

    const Info a = info_of(mp3), b = info_of(covered);
    EXPECT_EQ(b.data_bytes, a.data_bytes) << "the tag is no sound";
    EXPECT_NEAR(b.seconds, 4.0, 0.05);
    EXPECT_EQ(a.seconds, b.seconds);
    expect_a_row_per_slice(covered, 4.0);
    expect_plays_as(covered, tool("mpg123 -q -s " + covered));
}

TEST_F(UserFiles, AnOggWithAPictureInItsCommentsPlaysAndAnalysesLikeWithout) {
    const std::string plain = wav("tone.wav", 2, 44100, stereo_tones(44100, {523.25}, 3.0));
    const std::string ogg = dir() + "/pictured.ogg";
    tool("oggenc -Q -q 2 " + plain + " -o " + ogg);
    // A METADATA_BLOCK_PICTURE comment of about 1.5 MB, spread over many pages.
    std::string comment = "METADATA_BLOCK_PICTURE=";
    const std::string pic = play_test::pattern(1100000, 4);
    static const char* b64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i + 2 < pic.size(); i += 3) {
        const uint32_t v = uint32_t(uint8_t(pic[i])) << 16 | uint32_t(uint8_t(pic[i + 1])) << 8 | uint8_t(pic[i + 2]);
        for (int k = 3; k >= 0; --k) comment += b64[(v >> (6 * k)) & 63];
    }
    dl_test::write_file(dir() + "/comments.txt", comment + "\n");
    tool("vorbiscomment -a -c " + dir() + "/comments.txt " + ogg);
    ASSERT_GT(dl_test::read_file(ogg).size(), 1400000u);

    EXPECT_NEAR(info_of(ogg).seconds, 3.0, 0.05);
    expect_a_row_per_slice(ogg, 3.0);
    expect_plays_as(ogg, tool("oggdec -Q -R -o - " + ogg));
}

TEST_F(UserFiles, AnOggWithoutANominalRateGetsItsLengthAndWholeBuffers) {
    const std::string plain = wav("tone.wav", 1, 22050, play_test::tones(22050, {330, 660}, 2.5));
    const std::string ogg = dir() + "/set.ogg";
    tool("oggenc -Q -q 0 " + plain + " -o " + ogg);
    const std::string reference = tool("oggdec -Q -R -o - " + ogg);
    for (int32_t nominal : {0, -1}) {
        // The nominal rate sits 20 bytes into the identification packet of the first page.
        std::string bytes = dl_test::read_file(ogg);
        const size_t first = play_test::ogg_page_length(bytes, 0);
        std::string page = bytes.substr(0, first);
        page.replace(28 + 20, 4, u32le(uint32_t(nominal)));
        play_test::seal_ogg_page(page);
        const std::string unset = dir() + "/unset" + std::to_string(nominal) + ".ogg";
        dl_test::write_file(unset, page + bytes.substr(first));
        ASSERT_EQ(tool("oggdec -Q -R -o - " + unset), reference) << "a legal stream";

        const Info i = info_of(unset);
        EXPECT_NEAR(i.seconds, 5.0, 0.05) << nominal;
        EXPECT_NEAR(i.seconds, std::atof(tool("soxi -D " + unset).c_str()), 0.05) << nominal;
        EXPECT_GT(i.bytes_per_second, 0u) << "the average rate stands in for the nominal one";
        expect_a_row_per_slice(unset, 5.0);
        expect_plays_as(unset, reference);
        dl::CloseSource();
    }
}

TEST_F(UserFiles, EveryTimeSliceOfAQuietOggIsAnalysed) {
    // Pure tones compress far below the nominal rate of -q 4: a buffer sized by that rate would
    // hold seconds of sound.
    const std::string plain = wav("tones.wav", 2, 44100, stereo_tones(44100, {330, 660, 1320}, 1.0));
    const std::string ogg = dir() + "/tones.ogg";
    tool("oggenc -Q -q 4 " + plain + " -o " + ogg);
    expect_a_row_per_slice(ogg, 3.0);
    const std::vector<Row> rows = analysed_rows(ogg);
    for (const Row& r : rows) {
        if (r.time + kSlice > 1.0 && r.time < 1.0) continue;  // spans a change
        if (r.time + kSlice > 2.0 && r.time < 2.0) continue;
        const double want = r.time < 1.0 ? 330 : r.time < 2.0 ? 660 : 1320;
        if (r.time < 3.0 - kSlice) {
            EXPECT_NEAR(r.peak_hz, want, 44100.0 / 4096) << "row at " << r.time;
        }
    }
    expect_plays_as(ogg, tool("oggdec -Q -R -o - " + ogg));
}

TEST_F(UserFiles, WaveAndOggLengthsAgreeWithSox) {
    const std::string plain = wav("tone.wav", 2, 44100, stereo_tones(44100, {440}, 8.4));
    const std::string ogg = dir() + "/tone.ogg", low = dir() + "/low.ogg";
    tool("oggenc -Q -q 4 " + plain + " -o " + ogg);
    tool("oggenc -Q -b 48 --managed " + plain + " -o " + low);
    for (const std::string& path : {plain, ogg, low}) {
        EXPECT_NEAR(info_of(path).seconds, std::atof(tool("soxi -D " + path).c_str()), 0.05) << path;
        EXPECT_NEAR(info_of(path).seconds, 8.4, 0.05) << path;
    }
}

// sox counts an MP3's encoder delay and padding as sound; mpg123 trims them as the LAME header says,
// and so does the length shown here.
TEST_F(UserFiles, Mp3LengthsComeFromTheFramesAsTheDecoderPlaysThem) {
    const std::string plain = wav("tone.wav", 2, 44100, stereo_tones(44100, {440, 554.37, 659.26}, 1.5));
    struct Case {
        const char* name;
        const char* options;
    } cases[] = {{"cbr.mp3", "-b 128"}, {"vbr_xing.mp3", "-V 2"}, {"vbr_no_xing.mp3", "-V 2 -t"}};
    for (const Case& c : cases) {
        const std::string mp3 = dir() + "/" + c.name;
        tool(std::string("lame --quiet ") + c.options + " " + plain + " " + mp3);
        // What mpg123 decodes: 4 bytes a stereo frame.
        const double decoded = tool("mpg123 -q -s " + mp3).size() / 4.0 / 44100;
        EXPECT_NEAR(info_of(mp3).seconds, decoded, 0.05) << c.name;
        EXPECT_NEAR(info_of(mp3).seconds, 4.5, 0.05) << c.name;
        expect_a_row_per_slice(mp3, 4.5);
    }
}

TEST_F(UserFiles, AnMp3WhoseEncoderCountedItsFramesNeedsNoWalkToItsEnd) {
    const std::string plain = wav("tone.wav", 2, 44100, stereo_tones(44100, {440}, 3.0));
    const std::string mp3 = dir() + "/vbr.mp3";
    tool("lame --quiet -V 2 " + plain + " " + mp3);
    // Bytes after the last frame that are neither a frame nor a tag stop a walk of the frames.
    const std::string junk = dir() + "/junk.mp3";
    dl_test::write_file(junk, dl_test::read_file(mp3) + std::string(3000, '\x55'));
    const double decoded = tool("mpg123 -q -s " + mp3).size() / 4.0 / 44100;
    EXPECT_NEAR(info_of(junk).seconds, decoded, 0.01);
}

TEST_F(UserFiles, TagsAtTheEndOfAnMp3AreNoSound) {
    const std::string plain = wav("tone.wav", 1, 22050, play_test::tones(22050, {440}, 2.0));
    const std::string mp3 = dir() + "/plain.mp3";
    tool("lame --quiet -b 32 " + plain + " " + mp3);
    const std::string sound = dl_test::read_file(mp3);
    // An APE tag (footer only) and an ID3v1 tag after it, as taggers append them.
    const std::string ape_items = u32le(5) + u32le(0) + "Title" + '\0' + "tone!";
    const std::string ape = ape_items + "APETAGEX" + u32le(2000) + u32le(uint32_t(ape_items.size() + 32)) + u32le(1) +
                            u32le(0) + std::string(8, '\0');
    std::string id3v1 = "TAG" + std::string(125, ' ');
    const std::string tagged = dir() + "/tagged.mp3";
    dl_test::write_file(tagged, sound + ape + id3v1);
    EXPECT_EQ(info_of(tagged).data_bytes, info_of(mp3).data_bytes);
    // Low-rate MPEG 2 keeps its encoder padding in mpg123's output too.
    const double decoded = tool("mpg123 -q -s " + mp3).size() / 2.0 / 22050;
    EXPECT_NEAR(info_of(tagged).seconds, decoded, 0.01);
    EXPECT_NEAR(info_of(tagged).seconds, 2.0, 0.1);
}

TEST_F(UserFiles, WideIntegerPcmWithThePlainTagPlaysThroughTheConverter) {
    for (int bits : {24, 32}) {
        // As Python's wave module and many recorders write it: format tag 1, a 16-byte "fmt ".
        std::string data;
        for (int k = 0; k < 44100; ++k) {
            const int64_t v = std::llround(0.4 * std::sin(2 * M_PI * 440 * k / 44100.0) * double((1ll << (bits - 1)) - 1));
            for (int c = 0; c < 2; ++c)
                for (int b = 0; b < bits / 8; ++b) data += char(uint64_t(v) >> (8 * b));
        }
        const std::string path = dir() + "/wide" + std::to_string(bits) + ".wav";
        dl_test::write_file(path, dl_test::pcm_wav(2, 44100, uint16_t(bits), data));
        EXPECT_NEAR(info_of(path).seconds, 1.0, 1e-9);
        expect_a_row_per_slice(path, 1.0);
        expect_plays_as(path, tool("sox -D " + path + " -b 16 -e signed -t raw -"));
        dl::CloseSource();
    }
}

TEST_F(UserFiles, TagsAndCommentsClaimingMoreThanTheFileAreRefusedCleanly) {
    const std::string plain = wav("tone.wav", 1, 22050, play_test::tones(22050, {440}, 1.0));
    const std::string mp3 = dir() + "/plain.mp3";
    tool("lame --quiet -b 32 " + plain + " " + mp3);
    // A tag whose size runs past the end of the file: no frame follows it.
    std::string tag = id3v2_with_cover(1000);
    tag[6] = 0x7F;
    const std::string lying = dir() + "/lying.mp3";
    dl_test::write_file(lying, tag + dl_test::read_file(mp3).substr(0, 500));
    const dl_test::ProgramRun r = dl_test::run_program("--info " + lying);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("This file is not WAVE file"), std::string::npos) << r.err;

    // An Ogg cut inside its comment header: opens, and Start says it cannot convert.
    const std::string ogg = dir() + "/pictured.ogg";
    tool("oggenc -Q -q 0 " + plain + " -o " + ogg);
    dl_test::write_file(dir() + "/comments.txt", "COMMENT=" + std::string(200000, 'x') + "\n");
    tool("vorbiscomment -a -c " + dir() + "/comments.txt " + ogg);
    const std::string cut = dir() + "/cut.ogg";
    dl_test::write_file(cut, dl_test::read_file(ogg).substr(0, 100000));
    const dl_test::ProgramRun a = dl_test::run_program("--analyse " + cut);
    EXPECT_EQ(a.status, 1);
    EXPECT_NE(a.err.find("cannot convert"), std::string::npos) << a.err;
}

}  // namespace
