// FLAC and Opus files as flac, metaflac and opusenc write them: played as flac -d and opusdec
// decode them, their lengths as soxi and opusinfo read them, their tones where the WAVE file's are.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "audio/encoded_files.h"
#include "state/source.h"

namespace {

using namespace encoded_files;

// The strongest line of every row, and where the WAVE file's rows have theirs.
void expect_peaks_where_the_wave_has_them(const std::string& path, const std::string& wave, double rate) {
    const std::vector<Row> rows = analysed_rows(path), wave_rows = analysed_rows(wave);
    ASSERT_GT(rows.size(), 2u) << path;
    ASSERT_GT(wave_rows.size(), 2u) << wave;
    // Away from the ends, where a slice is partly silent.
    for (size_t i = 1; i + 2 < std::min(rows.size(), wave_rows.size()); ++i)
        EXPECT_NEAR(rows[i].peak_hz, wave_rows[i].peak_hz, rate / 4096 + 0.01) << path << " row " << i;
}

// opusinfo's "Playback length: 0m:02.500s".
double opusinfo_seconds(const std::string& path) {
    const std::string out = tool("opusinfo " + path);
    const size_t at = out.find("Playback length: ");
    if (at == std::string::npos) return -1;
    const double minutes = std::atof(out.c_str() + at + 17);
    return minutes * 60 + std::atof(out.c_str() + out.find(':', at + 17) + 1);
}

// The signature and IHDR chunk of a PNG picture.
std::string png_header(uint32_t width, uint32_t height) {
    const std::string ihdr = "IHDR" + be32(width) + be32(height) + std::string("\x08\x02\x00\x00\x00", 5);
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : ihdr) {
        crc ^= uint8_t(c);
        for (int b = 0; b < 8; ++b) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + ihdr + be32(~crc);
}

class FlacOpusFiles : public EncodedFiles {
protected:
    // A WAVE file of a tone, made by sox.
    std::string tone_wav(const std::string& name, int rate, int channels, int bits, double seconds, int hz) {
        const std::string path = dir() + "/" + name;
        tool("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " + std::to_string(bits) +
             " " + path + " synth " + std::to_string(seconds) + " sine " + std::to_string(hz) + " vol 0.5");
        return path;
    }
    // A damaged file: the batch analysis ends well, and a play runs to its end without a message. A
    // file cut short plays to where it is cut, and says so (status 1 in a batch run).
    void analyses_and_plays_to_its_end(const std::string& path, bool cut = false) {
        const dl_test::ProgramRun r = dl_test::run_program("--analyse " + path);
        EXPECT_EQ(r.status, cut ? 1 : 0) << path << ": " << r.err;
        EXPECT_EQ(r.err.find("The file ends after") != std::string::npos, cut) << r.err;
        start(path);
        ASSERT_TRUE(dl::SourceState.running) << path;
        ASSERT_TRUE(play_to_end(60000)) << path;
        if (cut) {
            ASSERT_EQ(boxes_.boxes.size(), 1u);
            EXPECT_EQ(boxes_.texts()[0].rfind("The file ends after", 0), 0u) << boxes_.texts()[0];
        } else {
            EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];
        }
        boxes_.boxes.clear();
        dl::CloseSource();
    }
    // What the disk driver got against opusdec's 16-bit samples, aligned on the first loud
    // sample; the decoders may round one step apart.
    void expect_played_like(const std::string& reference) {
        const std::string played = dl_test::read_file(disk_);
        auto sample = [](const std::string& s, size_t k) { return int(int16_t(uint8_t(s[2 * k]) | uint8_t(s[2 * k + 1]) << 8)); };
        auto first_loud = [&](const std::string& s) {
            size_t k = 0;
            while (2 * k + 1 < s.size() && std::abs(sample(s, k)) < 200) ++k;
            return k;
        };
        const size_t p = first_loud(played), q = first_loud(reference);
        ASSERT_GE(p, q);
        const size_t n = reference.size() / 2 - q;
        ASSERT_GE(played.size() / 2, p + n) << "the whole stream was played";
        int worst = 0;
        for (size_t k = 0; k < n; ++k) worst = std::max(worst, std::abs(sample(played, p + k) - sample(reference, q + k)));
        EXPECT_LE(worst, 1);
    }
    // flac -d's samples in the 16 bits the device gets, as sox brings any width there.
    std::string flac_reference(const std::string& flac) {
        const std::string decoded = dir() + "/decoded.wav";
        tool("flac -s -f -d " + flac + " -o " + decoded);
        return tool("sox -D " + decoded + " -b 16 -e signed -t raw -");
    }
};

TEST_F(FlacOpusFiles, FlacOfEveryWidthRateAndLayoutPlaysAsFlacDecodesIt) {
    struct Case {
        int bits, channels, rate;
        bool ogg;
        const char* options;
    } cases[] = {{16, 2, 44100, false, ""}, {8, 1, 22050, false, ""}, {24, 2, 96000, false, ""},
                 {24, 1, 48000, true, "--ogg"}, {16, 1, 48000, true, "--ogg"}, {8, 2, 44100, false, "-8"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bit, " + std::to_string(c.channels) + " ch, " + std::to_string(c.rate) +
                     " Hz " + c.options);
        const std::string wav = tone_wav("tone.wav", c.rate, c.channels, c.bits, 1.5, 1000);
        const std::string flac = dir() + "/tone" + (c.ogg ? ".oga" : ".flac");
        tool(std::string("flac -s -f ") + c.options + " " + wav + " -o " + flac);

        const Info i = info_of(flac);
        const std::string reference = flac_reference(flac);
        // sox reads no FLAC in Ogg: there the length of flac -d's output stands in.
        const double decoded = double(reference.size()) / (2 * c.channels) / c.rate;
        EXPECT_NEAR(i.seconds, c.ogg ? decoded : std::atof(tool("soxi -D " + flac).c_str()), 0.05);
        EXPECT_NEAR(i.seconds, 1.5, 1e-6) << "the total-samples field is exact";
        // The sound's bytes over its length (in Ogg, the header pages are no sound).
        if (c.ogg) {
            EXPECT_LT(i.bytes_per_second, i.data_bytes / 1.5);
            EXPECT_GT(i.bytes_per_second, (i.data_bytes - 9000) / 1.5 - 1) << "no more than the padding left out";
        } else {
            EXPECT_NEAR(i.bytes_per_second, i.data_bytes / 1.5, 1.0);
        }
        const dl_test::ProgramRun r = dl_test::run_program("--info " + flac);
        EXPECT_NE(r.out.find("bits=" + std::to_string(c.bits) + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("format_tag=0x" + std::string(c.ogg ? "f1ad" : "f1ac")), std::string::npos);

        expect_peaks_where_the_wave_has_them(flac, wav, c.rate);
        expect_plays_as(flac, reference);
        dl::CloseSource();
    }
}

TEST_F(FlacOpusFiles, TagsAndPicturesInFrontOfTheFramesAreNoSound) {
    const std::string wav = tone_wav("tone.wav", 44100, 2, 16, 2.0, 440);
    const std::string flac = dir() + "/plain.flac";
    tool("flac -s " + wav + " -o " + flac);
    // A cover of 1.2 MB in a PICTURE block, as metaflac imports it.
    const std::string pictured = dir() + "/pictured.flac", picture = dir() + "/cover.jpg";
    dl_test::write_file(picture, play_test::pattern(1200000, 3));
    tool("cp " + flac + " " + pictured + " && metaflac --import-picture-from='3|image/jpeg||600x600x24|" + picture +
         "' " + pictured);
    // And an ID3v2 tag in front of the marker, as some taggers write.
    const std::string tagged = dir() + "/tagged.flac";
    dl_test::write_file(tagged, id3v2_with_cover(300000) + dl_test::read_file(flac));

    const Info plain = info_of(flac);
    for (const std::string& path : {pictured, tagged}) {
        const Info i = info_of(path);
        EXPECT_EQ(i.data_bytes, plain.data_bytes) << path;
        EXPECT_EQ(i.seconds, plain.seconds) << path;
        EXPECT_EQ(i.bytes_per_second, plain.bytes_per_second) << path;
        expect_a_row_per_slice(path, 2.0);
    }
    EXPECT_NEAR(plain.seconds, std::atof(tool("soxi -D " + pictured).c_str()), 0.05);
    const std::string reference = flac_reference(flac);
    expect_plays_as(pictured, reference);
    dl::CloseSource();
    expect_plays_as(tagged, reference);
}

// flac writes no sample count when it encodes a pipe of unknown length; sox then reads no length.
TEST_F(FlacOpusFiles, AFlacThatDoesNotSayItsLengthGetsItFromItsLastFrame) {
    struct Case {
        int rate, channels, block;
        double seconds;
    } cases[] = {{44100, 2, 4096, 2.5}, {8000, 1, 192, 40.0}};  // frame numbers of one and of two bytes
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, blocks of " + std::to_string(c.block));
        const std::string flac = dir() + "/piped.flac";
        tool("sox -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) + " -b 16 -t raw - synth " +
             std::to_string(c.seconds) + " sine 440 vol 0.5 | flac -s --force-raw-format --endian=little" +
             " --sign=signed --bps=16 --channels=" + std::to_string(c.channels) + " --sample-rate=" +
             std::to_string(c.rate) + " -b " + std::to_string(c.block) + " - -c > " + flac);
        ASSERT_EQ(tool("metaflac --show-total-samples " + flac), "0\n");
        const std::string reference = flac_reference(flac);
        const Info i = info_of(flac);
        EXPECT_NEAR(i.seconds, double(reference.size()) / (2 * c.channels) / c.rate, 1e-6);
        EXPECT_NEAR(i.seconds, c.seconds, 1e-6);
        EXPECT_NEAR(i.bytes_per_second, i.data_bytes / c.seconds, 1.0);
        // Cut short, its last frame is not whole: no length rather than a wrong one.
        const std::string whole = dl_test::read_file(flac);
        const std::string cut = dl_test::write_file(dir() + "/cut.flac", whole.substr(0, whole.size() - 100));
        EXPECT_EQ(info_of(cut).seconds, 0.0);
        if (c.seconds < 10) expect_plays_as(flac, reference);
        dl::CloseSource();
    }
}

TEST_F(FlacOpusFiles, DamagedFlacFilesPlayWhatCanBePlayedAndEnd) {
    const std::string wav = tone_wav("tone.wav", 44100, 1, 16, 3.0, 440);
    const std::string flac = dir() + "/tone.flac";
    tool("flac -s " + wav + " -o " + flac);
    const std::string bytes = dl_test::read_file(flac);
    // A frame whose check fails, and a file cut short: each plays to its end, the one cut says so.
    std::string flipped = bytes;
    flipped[bytes.size() / 2] = char(flipped[bytes.size() / 2] ^ 0x20);
    const std::string damaged = dl_test::write_file(dir() + "/damaged.flac", flipped);
    const std::string cut = dl_test::write_file(dir() + "/cut.flac", bytes.substr(0, bytes.size() * 2 / 3));
    analyses_and_plays_to_its_end(damaged);
    analyses_and_plays_to_its_end(cut, true);
    // The damage stays in its frame: the sound before it is played as it is.
    start(damaged);
    ASSERT_TRUE(play_to_end(60000));
    expect_played(flac_reference(flac).substr(0, 44100), 0);
}

TEST_F(FlacOpusFiles, PicturesInTheOggHeadersAreNoSound) {
    const std::string wav = tone_wav("tone.wav", 48000, 2, 16, 2.0, 440);
    // A picture of 300 kB whose header is a PNG's (the encoders read its size from there).
    const std::string picture = dl_test::write_file(dir() + "/cover.png", png_header(400, 300) + play_test::pattern(300000, 5));
    struct Case {
        const char* name;
        std::string plain_command, pictured_command, decode;
    } cases[] = {
        {"tone.oga", "flac -s --ogg " + wav + " -o ", "flac -s --ogg --picture='3||||" + picture + "' " + wav + " -o ",
         "flac -s -d --force-raw-format --endian=little --sign=signed -c "},
        {"tone.opus", "opusenc --quiet " + wav + " ", "opusenc --quiet --picture '3||||" + picture + "' " + wav + " ",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string plain = dir() + "/plain_" + c.name, pictured = dir() + "/pictured_" + c.name;
        tool(c.plain_command + plain);
        tool(c.pictured_command + pictured);
        const Info a = info_of(plain), b = info_of(pictured);
        ASSERT_GT(b.data_bytes, a.data_bytes + 250000);
        EXPECT_EQ(a.seconds, b.seconds);
        EXPECT_NEAR(double(b.bytes_per_second), double(a.bytes_per_second), 0.02 * a.bytes_per_second);
        expect_a_row_per_slice(pictured, 2.0, 2048.0 / 8000);  // the slice of the 8000 Hz family
        if (!c.decode.empty()) {
            expect_plays_as(pictured, tool(c.decode + plain));
            dl::CloseSource();
        }
    }
}

TEST_F(FlacOpusFiles, DamagedOpusFilesPlayWhatCanBePlayedAndEnd) {
    const std::string wav = tone_wav("tone.wav", 48000, 2, 16, 4.0, 440);
    const std::string opus = dir() + "/tone.opus";
    tool("opusenc --quiet " + wav + " " + opus);
    const std::string bytes = dl_test::read_file(opus);
    // A page whose checksum fails is left out; a file cut short ends where it is cut.
    std::string flipped = bytes;
    flipped[bytes.size() / 2] = char(flipped[bytes.size() / 2] ^ 0x20);
    const std::string damaged = dl_test::write_file(dir() + "/damaged.opus", flipped);
    const std::string cut = dl_test::write_file(dir() + "/cut.opus", bytes.substr(0, bytes.size() / 2));
    for (const std::string& path : {damaged, cut}) {
        analyses_and_plays_to_its_end(path, path == cut);
        EXPECT_GT(dl_test::read_file(disk_).size(), 48000u * 4) << path;
    }
}

TEST_F(FlacOpusFiles, OpusPlaysAsOpusdecDecodesItAtFortyEightKilohertz) {
    struct Case {
        int rate, channels, hz;
    } cases[] = {{48000, 1, 1000}, {44100, 2, 440}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz input, " + std::to_string(c.channels) + " ch");
        const std::string wav = tone_wav("tone.wav", c.rate, c.channels, 16, 2.5, c.hz);
        const std::string opus = dir() + "/tone.opus";
        tool("opusenc --quiet " + wav + " " + opus);

        const Info i = info_of(opus);
        EXPECT_NEAR(i.seconds, opusinfo_seconds(opus), 0.05);
        EXPECT_NEAR(i.seconds, 2.5, 0.01);
        const dl_test::ProgramRun r = dl_test::run_program("--info " + opus);
        EXPECT_NE(r.out.find("sample_rate=48000\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("bits=0\n"), std::string::npos) << "a bit rate, not a width";
        // The bit rate of the sound: the header pages are not counted.
        EXPECT_LT(i.bytes_per_second, i.data_bytes / i.seconds);
        EXPECT_GT(i.bytes_per_second, 0.9 * i.data_bytes / i.seconds);

        // The peaks where the WAVE's are, at the line spacing of the coarser of the two rates.
        expect_peaks_where_the_wave_has_them(opus, wav, 48000);

        const std::string raw = dir() + "/decoded.raw";
        tool("opusdec --quiet --rate 48000 --no-dither " + opus + " " + raw);
        const std::string reference = dl_test::read_file(raw);
        start(opus);
        ASSERT_TRUE(dl::SourceState.running);
        ASSERT_TRUE(play_to_end(60000));
        EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];
        expect_played_like(reference);
        dl::CloseSource();
    }
}

TEST_F(FlacOpusFiles, ChainedOpusLastsWhatItsLinksLast) {
    // Two files joined as they come from a stream recorder: each link drops its own pre-skip.
    const std::string first = dir() + "/a.opus", second = dir() + "/b.opus", chain = dir() + "/chain.opus";
    tool("opusenc --quiet " + tone_wav("a.wav", 48000, 1, 16, 1.3, 440) + " " + first);
    tool("opusenc --quiet " + tone_wav("b.wav", 48000, 1, 16, 1.3, 660) + " " + second);
    dl_test::write_file(chain, dl_test::read_file(first) + dl_test::read_file(second));
    const Info i = info_of(chain);
    EXPECT_NEAR(i.seconds, 2.6, 0.001);

    const std::string raw = dir() + "/chain.raw";
    tool("opusdec --quiet --rate 48000 --no-dither " + chain + " " + raw);
    const std::string reference = dl_test::read_file(raw);
    EXPECT_NEAR(i.seconds, reference.size() / 2 / 48000.0, 0.001);
    start(chain);
    ASSERT_TRUE(dl::SourceState.running);
    ASSERT_TRUE(play_to_end(60000));
    EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];
    expect_played_like(reference);  // across the seam too
    dl::CloseSource();
}

}  // namespace
